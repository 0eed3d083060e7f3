/* Suites that work on worlds. C-compatible. */
#ifndef TAVREL_HOSTAPI_HOST_WORLD_SUITES_H
#define TAVREL_HOSTAPI_HOST_WORLD_SUITES_H

#include "hostapi/host_effect.h"

#ifdef __cplusplus
extern "C" {
#endif

/* A null rectangle means the whole world. The pixel depth of a copy is taken
 * from the destination, since the effect hands in flagless source records. */
#define kPFWorldTransformSuite "PF World Transform Suite"
#define kPFWorldTransformSuiteVersion1 1
typedef struct PF_WorldTransformSuite1 {
    PF_Err (*copy)(PF_ProgPtr effect_ref, PF_EffectWorld* src, PF_EffectWorld* dst,
                   const PF_Rect* src_rect, const PF_Rect* dst_rect);
    PF_Err (*copy_hq)(PF_ProgPtr effect_ref, PF_EffectWorld* src, PF_EffectWorld* dst,
                      const PF_Rect* src_rect, const PF_Rect* dst_rect);
} PF_WorldTransformSuite1;

#define kPFFillMatteSuite "PF Fill Matte Suite"
#define kPFFillMatteSuiteVersion2 2
typedef struct PF_FillMatteSuite2 {
    PF_Err (*fill)(PF_ProgPtr effect_ref, const PF_Pixel* color, const PF_Rect* rect,
                   PF_EffectWorld* world);
} PF_FillMatteSuite2;

#ifdef __cplusplus
}
#endif

#endif
