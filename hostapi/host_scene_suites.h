/* The host's scene as the effect reads it: layers, compositions, items,
 * footage, cameras, lights and their property streams. C-compatible.
 * Numbers chosen by this project are marked "ours". */
#ifndef TAVREL_HOSTAPI_HOST_SCENE_SUITES_H
#define TAVREL_HOSTAPI_HOST_SCENE_SUITES_H

#include "hostapi/host_suites.h"

#ifdef __cplusplus
extern "C" {
#endif

typedef struct AEGP_CompOpaque* AEGP_CompH;
typedef struct AEGP_ItemOpaque* AEGP_ItemH;
typedef struct AEGP_FootageOpaque* AEGP_FootageH;

/* Layer object types: light is fixed by the protocol, the others are ours. */
enum {
    AEGP_ObjectType_AV = 0,    /* ours */
    AEGP_ObjectType_LIGHT = 1,
    AEGP_ObjectType_CAMERA = 2, /* ours */
    AEGP_ObjectType_TEXT = 3,   /* ours */
    AEGP_ObjectType_VECTOR = 4  /* ours: shape layers */
};
typedef int32_t AEGP_ObjectType;

/* Item types: ours. */
enum {
    AEGP_ItemType_NONE = 0,
    AEGP_ItemType_FOLDER = 1,
    AEGP_ItemType_COMP = 2,
    AEGP_ItemType_FOOTAGE = 3
};
typedef int32_t AEGP_ItemType;

/* Camera types: ours. */
enum {
    AEGP_CameraType_PERSPECTIVE = 0,
    AEGP_CameraType_ORTHOGRAPHIC = 1
};
typedef int32_t AEGP_CameraType;

/* Light types: fixed by the protocol. */
enum {
    AEGP_LightType_PARALLEL = 0,
    AEGP_LightType_SPOT = 1,
    AEGP_LightType_POINT = 2,
    AEGP_LightType_AMBIENT = 3
};
typedef int32_t AEGP_LightType;

/* Footage signatures are four characters packed first character highest. */
typedef uint32_t AEGP_FootageSignature;
#define AEGP_FOOTAGE_SIGNATURE(a, b, c, d) \
    ((AEGP_FootageSignature)(((uint32_t)(a) << 24) | ((uint32_t)(b) << 16) | ((uint32_t)(c) << 8) | (uint32_t)(d)))
#define AEGP_FootageSignature_SOLID AEGP_FOOTAGE_SIGNATURE('S', 'o', 'l', 'i')

/* Layer stream numbers (AEGP_LayerStream): fixed by the protocol. */
enum {
    AEGP_LayerStream_ANCHORPOINT = 0,
    AEGP_LayerStream_POSITION = 1,
    AEGP_LayerStream_SCALE = 2,
    AEGP_LayerStream_ROTATION = 3,
    AEGP_LayerStream_ZOOM = 11,
    AEGP_LayerStream_DEPTH_OF_FIELD = 12,
    AEGP_LayerStream_FOCUS_DISTANCE = 13,
    AEGP_LayerStream_APERTURE = 14,
    AEGP_LayerStream_BLUR_LEVEL = 15,
    AEGP_LayerStream_INTENSITY = 16,
    AEGP_LayerStream_COLOR = 17,
    AEGP_LayerStream_CONE_ANGLE = 18,
    AEGP_LayerStream_CONE_FEATHER = 19,
    AEGP_LayerStream_SHADOW_DARKNESS = 20,
    AEGP_LayerStream_SHADOW_DIFFUSION = 21,
    AEGP_LayerStream_CASTS_SHADOWS = 28
};


#define kAEGPLayerSuite "AEGP Layer Suite"
#define kAEGPLayerSuiteVersion8 8 /* ours */
typedef struct AEGP_LayerSuite8 {
    A_Err (*AEGP_GetLayerParentComp)(AEGP_LayerH layer, AEGP_CompH* comp);
    A_Err (*AEGP_GetLayerToWorldXform)(AEGP_LayerH layer, const A_Time* comp_time, A_Matrix4* transform);
    A_Err (*AEGP_GetLayerObjectType)(AEGP_LayerH layer, AEGP_ObjectType* type);
    A_Err (*AEGP_IsLayerVideoReallyOn)(AEGP_LayerH layer, A_Boolean* on);
    /* Null for a layer without a source (text, shape, light, camera). */
    A_Err (*AEGP_GetLayerSourceItem)(AEGP_LayerH layer, AEGP_ItemH* item);
} AEGP_LayerSuite8;

#define kAEGPCompSuite "AEGP Comp Suite"
#define kAEGPCompSuiteVersion10 10 /* ours */
typedef struct AEGP_CompSuite10 {
    A_Err (*AEGP_GetItemFromComp)(AEGP_CompH comp, AEGP_ItemH* item);
    A_Err (*AEGP_GetCompNumLayers)(AEGP_CompH comp, A_long* count);
    A_Err (*AEGP_GetCompLayerByIndex)(AEGP_CompH comp, A_long index, AEGP_LayerH* layer);
} AEGP_CompSuite10;

#define kAEGPItemSuite "AEGP Item Suite"
#define kAEGPItemSuiteVersion9 9 /* ours */
typedef struct AEGP_ItemSuite9 {
    A_Err (*AEGP_GetItemDimensions)(AEGP_ItemH item, A_long* width, A_long* height);
    A_Err (*AEGP_GetItemPixelAspectRatio)(AEGP_ItemH item, A_Ratio* ratio);
    A_Err (*AEGP_GetItemType)(AEGP_ItemH item, AEGP_ItemType* type);
} AEGP_ItemSuite9;

#define kAEGPFootageSuite "AEGP Footage Suite"
#define kAEGPFootageSuiteVersion5 5 /* ours */
typedef struct AEGP_FootageSuite5 {
    A_Err (*AEGP_GetMainFootageFromItem)(AEGP_ItemH item, AEGP_FootageH* footage);
    A_Err (*AEGP_GetFootageSignature)(AEGP_FootageH footage, AEGP_FootageSignature* signature);
} AEGP_FootageSuite5;

#define kAEGPCameraSuite "AEGP Camera Suite"
#define kAEGPCameraSuiteVersion2 2 /* ours */
typedef struct AEGP_CameraSuite2 {
    A_Err (*AEGP_GetCameraType)(AEGP_LayerH camera, AEGP_CameraType* type);
} AEGP_CameraSuite2;

#define kAEGPLightSuite "AEGP Light Suite"
#define kAEGPLightSuiteVersion2 2 /* ours */
typedef struct AEGP_LightSuite2 {
    A_Err (*AEGP_GetLightType)(AEGP_LayerH light, AEGP_LightType* type);
} AEGP_LightSuite2;

#ifdef __cplusplus
}
#endif

#endif
