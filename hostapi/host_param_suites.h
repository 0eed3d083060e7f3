/* Suites that work on parameter definitions. C-compatible. */
#ifndef TAVREL_HOSTAPI_HOST_PARAM_SUITES_H
#define TAVREL_HOSTAPI_HOST_PARAM_SUITES_H

#include "hostapi/host_effect.h"

#ifdef __cplusplus
extern "C" {
#endif

/* The host takes the interface flags and the parameter flags of the
 * definition; it never takes a value from it. */
#define kPFParamUtilsSuite "PF Param Utils Suite"
#define kPFParamUtilsSuiteVersion1 1 /* ours */
typedef struct PF_ParamUtilsSuite1 {
    PF_Err (*PF_UpdateParamUI)(PF_ProgPtr effect_ref, int32_t param_index, const PF_ParamDef* def);
} PF_ParamUtilsSuite1;

#ifdef __cplusplus
}
#endif

#endif
