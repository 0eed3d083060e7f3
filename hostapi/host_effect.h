/* The effect command protocol: commands, codes, flags, data blocks and the
 * callbacks the host hands in. C-compatible. Numbers chosen by this project
 * are marked "ours"; every other number is fixed by the protocol. */
#ifndef TAVREL_HOSTAPI_HOST_EFFECT_H
#define TAVREL_HOSTAPI_HOST_EFFECT_H

#include "hostapi/host_types.h"
#include "hostapi/host_suites.h"

#ifdef __cplusplus
extern "C" {
#endif

/* Commands */
enum {
    PF_Cmd_ABOUT = 0,
    PF_Cmd_GLOBAL_SETUP = 1,
    PF_Cmd_GLOBAL_SETDOWN = 3,
    PF_Cmd_PARAMS_SETUP = 4,
    PF_Cmd_SEQUENCE_SETUP = 5,
    PF_Cmd_SEQUENCE_RESETUP = 6,
    PF_Cmd_SEQUENCE_FLATTEN = 7,
    PF_Cmd_SEQUENCE_SETDOWN = 8,
    PF_Cmd_FRAME_SETUP = 10, /* ours */
    PF_Cmd_RENDER = 11,
    PF_Cmd_FRAME_SETDOWN = 12,
    PF_Cmd_USER_CHANGED_PARAM = 13,
    PF_Cmd_UPDATE_PARAMS_UI = 14,
    PF_Cmd_EVENT = 15,
    PF_Cmd_GET_EXTERNAL_DEPENDENCIES = 16,
    PF_Cmd_ARBITRARY_CALLBACK = 22,
    PF_Cmd_SMART_PRE_RENDER = 23,
    PF_Cmd_SMART_RENDER = 24
};

/* Error codes */
enum {
    PF_Err_NONE = 0,
    PF_Err_OUT_OF_MEMORY = 4,
    PF_Err_INTERNAL_STRUCT_DAMAGED = 512,
    PF_Err_INVALID_CALLBACK = 515,
    PF_Err_BAD_CALLBACK_PARAM = 516
};

/* Out flags. Only the totals are fixed; the bit of each flag is ours. */
enum {
    PF_OutFlag_KEEP_RESOURCE_OPEN = 0x1,
    PF_OutFlag_WIDE_TIME_INPUT = 0x2,
    PF_OutFlag_CUSTOM_UI = 0x8000,
    PF_OutFlag_I_USE_SHUTTER_ANGLE = 0x80000,
    PF_OutFlag_I_HAVE_EXTERNAL_DEPENDENCIES = 0x1000000,
    PF_OutFlag_DEEP_COLOR_AWARE = 0x2000000
};
enum {
    PF_OutFlag2_I_USE_3D_CAMERA = 0x2,
    PF_OutFlag2_I_USE_3D_LIGHTS = 0x4,
    PF_OutFlag2_SUPPORTS_SMART_RENDER = 0x400,
    PF_OutFlag2_FLOAT_COLOR_AWARE = 0x1000,
    PF_OutFlag2_AUTOMATIC_WIDE_TIME_INPUT = 0x20000
};

/* World flags: ours, so that the host's pixel callbacks know the depth. */
enum {
    PF_WorldFlag_DEEP = 0x1,
    PF_WorldFlag_FLOAT = 0x2
};

typedef struct PF_LayerDef {
    void* data;
    int32_t rowbytes;
    int32_t width;
    int32_t height;
    int32_t origin_x;
    int32_t origin_y;
    uint32_t world_flags;
} PF_LayerDef;
typedef PF_LayerDef PF_EffectWorld;

/* Parameter types: the codes are ours. */
enum {
    PF_Param_LAYER = 0,
    PF_Param_SLIDER = 1,
    PF_Param_FIX_SLIDER = 2,
    PF_Param_ANGLE = 3,
    PF_Param_CHECKBOX = 4,
    PF_Param_COLOR = 5,
    PF_Param_POPUP = 7,
    PF_Param_ARBITRARY_DATA = 9,
    PF_Param_FLOAT_SLIDER = 10,
    PF_Param_GROUP_START = 13,
    PF_Param_GROUP_END = 14,
    PF_Param_NO_DATA = 16
};

enum { PF_ChangeFlag_CHANGED_VALUE = 1 };

typedef struct PF_FixedSliderDef {
    PF_Fixed value;
    PF_Fixed valid_min, valid_max;
    PF_Fixed slider_min, slider_max;
    PF_Fixed dephault;
    int16_t precision;
    int16_t display_flags;
} PF_FixedSliderDef;

/* Parameter flags */
enum {
    PF_ParamFlag_CANNOT_TIME_VARY = 0x2,
    PF_ParamFlag_CANNOT_INTERP = 0x4,
    PF_ParamFlag_START_COLLAPSED = 0x20,
    PF_ParamFlag_COLLAPSE_TWIRLY = 0x20,
    PF_ParamFlag_SUPERVISE = 0x40,
    PF_ParamFlag_USE_VALUE_FOR_OLD_PROJECTS = 0x80,
    PF_ParamFlag_EXCLUDE_FROM_HAVE_INPUTS_CHANGED = 0x100
};

/* Parameter interface flags */
enum {
    PF_PUI_CONTROL = 0x2,
    PF_PUI_DISABLED = 0x20,
    PF_PUI_INVISIBLE = 0x200
};

/* Value display flags of fixed and float sliders */
enum {
    PF_ValueDisplayFlag_PERCENT = 0x1 /* ours */
};

typedef struct PF_SliderDef {
    int32_t value;
    int32_t valid_min, valid_max;
    int32_t slider_min, slider_max;
    int32_t dephault;
} PF_SliderDef;

typedef struct PF_FloatSliderDef {
    double value;
    double phase;
    float valid_min, valid_max;
    float slider_min, slider_max;
    float dephault;
    int16_t precision;
    int16_t display_flags;
    int32_t fs_flags;
    float curve_tolerance;
} PF_FloatSliderDef;

/* Degrees in 16.16 */
typedef struct PF_AngleDef {
    PF_Fixed value;
    PF_Fixed dephault;
} PF_AngleDef;

typedef struct PF_CheckBoxDef {
    int32_t value;
    int32_t dephault;
    const char* nameptr; /* the label beside the box */
} PF_CheckBoxDef;

typedef struct PF_ColorDef {
    PF_Pixel value;
    PF_Pixel dephault;
} PF_ColorDef;

/* Choices are 1-based; names are separated by '|', "(-" is a separator entry. */
typedef struct PF_PopupDef {
    int32_t value;
    int16_t num_choices;
    int16_t dephault;
    const char* namesptr;
} PF_PopupDef;

typedef struct PF_ArbitraryDef {
    int16_t id;
    PF_ArbitraryH dephault; /* owned by the host once declared */
    PF_ArbitraryH value;
    void* refconPV;
} PF_ArbitraryDef;

typedef struct PF_ParamDef {
    union {
        int32_t id;           /* disk id, during parameter set-up */
        int32_t change_flags; /* every other command */
    } uu;
    int32_t ui_flags;
    int16_t ui_width;
    int16_t ui_height;
    int32_t param_type;
    char name[32];
    int32_t flags;
    union {
        PF_LayerDef ld;
        PF_FixedSliderDef fd;
        PF_SliderDef sd;
        PF_FloatSliderDef fs_d;
        PF_AngleDef ad;
        PF_CheckBoxDef bd;
        PF_ColorDef cd;
        PF_PopupDef pd;
        PF_ArbitraryDef arb_d;
    } u;
} PF_ParamDef;

typedef PF_ParamDef* PF_ParamList[];

/* Callbacks the host hands in through PF_InData. */
typedef struct PF_ANSICallbacks {
    A_long (*sprintf)(char* buffer, const char* format, ...);
    char* (*strcpy)(char* dst, const char* src);
} PF_ANSICallbacks;

typedef struct PF_UtilCallbacks {
    PF_Handle (*host_new_handle)(uint64_t size);
    void* (*host_lock_handle)(PF_Handle handle);
    void (*host_unlock_handle)(PF_Handle handle);
    void (*host_dispose_handle)(PF_Handle handle);
    PF_ANSICallbacks ansi;
    /* The world's pixels when it has that depth; otherwise 0 and a null
     * pointer, so an effect learns a world's depth by asking. `reserved` is
     * always null. */
    PF_Err (*get_pixel_data8)(PF_EffectWorld* world, void* reserved, PF_Pixel8** pixels);
    PF_Err (*get_pixel_data16)(PF_EffectWorld* world, void* reserved, PF_Pixel16** pixels);
} PF_UtilCallbacks;

typedef struct PF_InteractCallbacks {
    PF_Err (*add_param)(PF_ProgPtr effect_ref, int32_t index, PF_ParamDef* def);
    /* A full definition holding the value at what_time; index 0 is the input
     * layer. Every checkout is checked in exactly once. */
    PF_Err (*checkout_param)(PF_ProgPtr effect_ref, int32_t index, int32_t what_time, int32_t time_step,
                             uint32_t time_scale, PF_ParamDef* param);
    PF_Err (*checkin_param)(PF_ProgPtr effect_ref, PF_ParamDef* param);
} PF_InteractCallbacks;

/* in_data->quality: ours. */
enum { PF_Quality_LO = 0, PF_Quality_HI = 1 };

typedef struct PF_InData {
    PF_InteractCallbacks inter;
    PF_UtilCallbacks* utils;
    PF_ProgPtr effect_ref;
    SPBasicSuite* pica_basicP;
    PF_Handle global_data;
    PF_Handle sequence_data;
    int32_t current_time;
    int32_t time_step;
    uint32_t time_scale;
    int32_t width;
    int32_t height;
    PF_RationalScale downsample_x;
    PF_RationalScale downsample_y;
    PF_RationalScale pixel_aspect_ratio;
    int32_t quality;
} PF_InData;

enum { PF_MAX_EFFECT_MSG_LEN = 255 };

typedef struct PF_OutData {
    uint32_t my_version;
    int32_t out_flags;
    int32_t out_flags2;
    PF_Handle global_data;
    PF_Handle sequence_data;
    int32_t num_params;
    char return_msg[PF_MAX_EFFECT_MSG_LEN + 1];
} PF_OutData;

/* Events */
enum { PF_Event_DO_CLICK = 2, PF_Event_DRAG = 3, PF_Event_DRAW = 4 };
enum { PF_Window_COMP = 0, PF_Window_LAYER = 1, PF_Window_EFFECT = 2 };
enum { PF_EA_CONTROL = 2 };
enum { PF_EO_HANDLED_EVENT = 1 };
enum {
    PF_Mod_CMD_CTRL_KEY = 0x100,
    PF_Mod_SHIFT_KEY = 0x200,
    PF_Mod_OPT_ALT_KEY = 0x800
};

typedef struct PF_EffectWindowInfo {
    int32_t area;
    int32_t index;
    PF_Rect current_frame;
} PF_EffectWindowInfo;

typedef struct PF_DoClickEventInfo {
    PF_Point screen_point;
    int32_t modifiers;
    intptr_t continue_refcon[4];
    int32_t send_drag;
    int32_t last_time;
} PF_DoClickEventInfo;

typedef struct PF_EventCallbacks {
    void* refcon;
    PF_Err (*source_to_frame)(void* refcon, PF_FixedPoint* point);
    PF_Err (*frame_to_source)(void* refcon, PF_FixedPoint* point);
} PF_EventCallbacks;

struct PF_ContextOpaque {
    int32_t w_type;
};

typedef struct PF_EventExtra {
    PF_ContextH contextH;
    int32_t e_type;
    PF_EffectWindowInfo effect_win;
    union {
        PF_DoClickEventInfo do_click;
    } u;
    PF_EventCallbacks cbs;
    int32_t evt_out_flags;
} PF_EventExtra;

/* The extra block of PF_Cmd_USER_CHANGED_PARAM. */
typedef struct PF_UserChangedParamExtra {
    int32_t param_index;
} PF_UserChangedParamExtra;

/* Arbitrary-data parameters: the callback selectors and their argument
 * blocks. Each block starts with the parameter's refcon. */
enum {
    PF_Arbitrary_NEW_FUNC = 0,
    PF_Arbitrary_DISPOSE_FUNC = 1,
    PF_Arbitrary_COPY_FUNC = 2,
    PF_Arbitrary_FLAT_SIZE_FUNC = 3,
    PF_Arbitrary_FLATTEN_FUNC = 4,
    PF_Arbitrary_UNFLATTEN_FUNC = 5,
    PF_Arbitrary_INTERP_FUNC = 6,
    PF_Arbitrary_COMPARE_FUNC = 7,
    PF_Arbitrary_PRINT_SIZE_FUNC = 8,
    PF_Arbitrary_PRINT_FUNC = 9,
    PF_Arbitrary_SCAN_FUNC = 10
};
typedef int32_t PF_FunctionSelector;

enum {
    PF_ArbCompare_EQUAL = 0,
    PF_ArbCompare_LESS = 1, /* ours */
    PF_ArbCompare_MORE = 2, /* ours */
    PF_ArbCompare_NOT_EQUAL = 3
};
typedef int32_t PF_ArbCompareResult;
typedef int32_t PF_ArbPrintFlags;

typedef struct PF_ArbParamsExtra {
    PF_FunctionSelector which_function;
    int32_t id;
    union {
        struct { void* refconPV; PF_ArbitraryH* arbPH; } new_func_params;
        struct { void* refconPV; PF_ArbitraryH arbH; } dispose_func_params;
        struct { void* refconPV; PF_ArbitraryH src_arbH; PF_ArbitraryH* dst_arbPH; } copy_func_params;
        struct { void* refconPV; PF_ArbitraryH arbH; A_u_long* flat_data_sizePLu; } flat_size_func_params;
        struct { void* refconPV; PF_ArbitraryH arbH; A_u_long buf_sizeLu; void* flat_dataPV; } flatten_func_params;
        struct { void* refconPV; A_u_long buf_sizeLu; const void* flat_dataPV; PF_ArbitraryH* arbPH; } unflatten_func_params;
        struct {
            void* refconPV;
            PF_ArbitraryH left_arbH;
            PF_ArbitraryH right_arbH;
            double tF;
            PF_ArbitraryH* interpPH;
        } interp_func_params;
        struct {
            void* refconPV;
            PF_ArbitraryH a_arbH;
            PF_ArbitraryH b_arbH;
            PF_ArbCompareResult* compareP;
        } compare_func_params;
        struct {
            void* refconPV;
            PF_ArbitraryH arbH;
            PF_ArbPrintFlags print_flags;
            A_u_long* print_sizePLu;
        } print_size_func_params;
        struct {
            void* refconPV;
            PF_ArbitraryH arbH;
            PF_ArbPrintFlags print_flags;
            A_u_long print_sizeLu;
            char* print_bufferPC;
        } print_func_params;
        struct {
            void* refconPV;
            const char* bufPC;
            A_u_long bytes_to_scanLu;
            PF_ArbitraryH* arbPH;
        } scan_func_params;
    } u;
} PF_ArbParamsExtra;

typedef PF_Err (*PF_EntryPointFunc)(PF_Cmd cmd, PF_InData* in_data, PF_OutData* out_data,
                                    PF_ParamDef* params[], PF_LayerDef* output, void* extra);

#ifdef __cplusplus
}
#endif

#endif
