/* Basic types shared by the effects and the host. C-compatible.
 *
 * Binary compatibility with any real host is not a goal: the effects and
 * simhost compile against these headers, so only the names and the fixed
 * numbers matter. Numbers chosen by this project are marked "ours". */
#ifndef TAVREL_HOSTAPI_HOST_TYPES_H
#define TAVREL_HOSTAPI_HOST_TYPES_H

#include <stdint.h>

#ifdef __cplusplus
extern "C" {
#endif

typedef int32_t PF_Err;
typedef int32_t A_Err;
typedef int32_t PF_Cmd;
typedef int32_t A_long;
typedef uint32_t A_u_long;
typedef int16_t A_short;
typedef uint8_t A_u_char;
typedef int32_t A_Boolean;
typedef int32_t SPErr;

/* 16.16 fixed point */
typedef int32_t PF_Fixed;

typedef struct PF_Rect {
    int32_t left, top, right, bottom;
} PF_Rect;

typedef struct PF_LRect {
    int32_t left, top, right, bottom;
} PF_LRect;

typedef struct PF_Point {
    int32_t h, v;
} PF_Point;

typedef struct PF_FixedPoint {
    PF_Fixed x, y;
} PF_FixedPoint;

typedef struct PF_RationalScale {
    int32_t num;
    uint32_t den;
} PF_RationalScale;

typedef struct A_Ratio {
    int32_t num;
    uint32_t den;
} A_Ratio;

typedef struct A_Time {
    int32_t value;
    uint32_t scale;
} A_Time;

/* Row vectors, translation in mat[3][0..2]. */
typedef struct A_Matrix4 {
    double mat[4][4];
} A_Matrix4;

/* Alpha first in every depth. 16-bit channels run 0..32768. */
typedef struct PF_Pixel {
    uint8_t alpha, red, green, blue;
} PF_Pixel;
typedef PF_Pixel PF_Pixel8;

typedef struct PF_Pixel16 {
    uint16_t alpha, red, green, blue;
} PF_Pixel16;

typedef struct PF_PixelFloat {
    float alpha, red, green, blue;
} PF_PixelFloat;

/* A pointer to a master pointer: dereferenceable without a lock. */
typedef void** PF_Handle;
typedef PF_Handle PF_ArbitraryH;

typedef struct PF_ProgressInfo* PF_ProgPtr;
typedef struct PF_ContextOpaque* PF_ContextH;
typedef int32_t AEGP_PluginID;
typedef struct AEGP_PersistentBlobOpaque* AEGP_PersistentBlobH;
typedef struct AEGP_GlobalRefconOpaque* AEGP_GlobalRefcon;

#ifdef __cplusplus
}
#endif

#endif
