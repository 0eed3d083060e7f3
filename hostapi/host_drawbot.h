/* Drawing suites of the custom interface. C-compatible. */
#ifndef TAVREL_HOSTAPI_HOST_DRAWBOT_H
#define TAVREL_HOSTAPI_HOST_DRAWBOT_H

#include "hostapi/host_types.h"

#ifdef __cplusplus
extern "C" {
#endif

typedef struct DRAWBOT_ObjectOpaque* DRAWBOT_ObjectRef;
typedef struct DRAWBOT_DrawOpaque* DRAWBOT_DrawRef;
typedef struct DRAWBOT_SupplierOpaque* DRAWBOT_SupplierRef;
typedef struct DRAWBOT_SurfaceOpaque* DRAWBOT_SurfaceRef;
typedef struct DRAWBOT_PenOpaque* DRAWBOT_PenRef;
typedef struct DRAWBOT_BrushOpaque* DRAWBOT_BrushRef;
typedef struct DRAWBOT_PathOpaque* DRAWBOT_PathRef;
typedef struct DRAWBOT_ImageOpaque* DRAWBOT_ImageRef;

typedef struct DRAWBOT_ColorRGBA {
    float red, green, blue, alpha;
} DRAWBOT_ColorRGBA;

typedef struct DRAWBOT_PointF32 {
    float x, y;
} DRAWBOT_PointF32;

typedef struct DRAWBOT_RectF32 {
    float left, top, width, height;
} DRAWBOT_RectF32;

/* ours: layout 6 is straight (not premultiplied) RGBA, 8 bits a channel */
enum { kDRAWBOT_PixelLayout_RGBA32_Straight = 6 };

/* ours */
enum { kDRAWBOT_FillType_EvenOdd = 0, kDRAWBOT_FillType_Winding = 1 };

#define kDRAWBOT_DrawSuite "DRAWBOT Draw Suite"
#define kDRAWBOT_DrawSuite_Version1 1
typedef struct DRAWBOT_DrawbotSuite1 {
    SPErr (*GetSupplier)(DRAWBOT_DrawRef draw_ref, DRAWBOT_SupplierRef* supplier);
    SPErr (*GetSurface)(DRAWBOT_DrawRef draw_ref, DRAWBOT_SurfaceRef* surface);
} DRAWBOT_DrawbotSuite1;

#define kDRAWBOT_SupplierSuite "DRAWBOT Supplier Suite"
#define kDRAWBOT_SupplierSuite_Version1 1
typedef struct DRAWBOT_SupplierSuite1 {
    SPErr (*NewPen)(DRAWBOT_SupplierRef supplier, const DRAWBOT_ColorRGBA* color, float size,
                    DRAWBOT_PenRef* pen);
    SPErr (*NewBrush)(DRAWBOT_SupplierRef supplier, const DRAWBOT_ColorRGBA* color,
                      DRAWBOT_BrushRef* brush);
    SPErr (*NewPath)(DRAWBOT_SupplierRef supplier, DRAWBOT_PathRef* path);
    SPErr (*NewImageFromBuffer)(DRAWBOT_SupplierRef supplier, int32_t width, int32_t height,
                                int32_t row_bytes, int32_t pixel_layout, const void* data,
                                DRAWBOT_ImageRef* image);
    SPErr (*ReleaseObject)(DRAWBOT_ObjectRef object);
} DRAWBOT_SupplierSuite1;

#define kDRAWBOT_SurfaceSuite "DRAWBOT Surface Suite"
#define kDRAWBOT_SurfaceSuite_Version1 1
typedef struct DRAWBOT_SurfaceSuite1 {
    SPErr (*StrokePath)(DRAWBOT_SurfaceRef surface, DRAWBOT_PenRef pen, DRAWBOT_PathRef path);
    SPErr (*FillPath)(DRAWBOT_SurfaceRef surface, DRAWBOT_BrushRef brush, DRAWBOT_PathRef path,
                      int32_t fill_type);
    SPErr (*DrawImage)(DRAWBOT_SurfaceRef surface, DRAWBOT_ImageRef image,
                       const DRAWBOT_PointF32* origin, float alpha);
} DRAWBOT_SurfaceSuite1;

#define kDRAWBOT_PathSuite "DRAWBOT Path Suite"
#define kDRAWBOT_PathSuite_Version1 1
typedef struct DRAWBOT_PathSuite1 {
    SPErr (*MoveTo)(DRAWBOT_PathRef path, float x, float y);
    SPErr (*LineTo)(DRAWBOT_PathRef path, float x, float y);
    SPErr (*AddRect)(DRAWBOT_PathRef path, const DRAWBOT_RectF32* rect);
} DRAWBOT_PathSuite1;

#ifdef __cplusplus
}
#endif

#endif
