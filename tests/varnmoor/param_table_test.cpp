// The second effect's declared parameters as `simhost params` prints them,
// against rows written from its parameter table: every index with its name
// and disk id, and the rows that are new or differ from the first effect's
// in full.
#include <gtest/gtest.h>

#include <sys/wait.h>

#include <cstdio>
#include <map>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include "simhost/host.h"

namespace {

struct ProgramRun {
    int status;
    std::vector<std::string> lines;
};

ProgramRun run_simhost(const std::string& args) {
    const std::string cmd = std::string(TAVREL_BIN_DIR) + "/simhost " + args + " 2>/dev/null";
    FILE* pipe = popen(cmd.c_str(), "r");
    if (pipe == nullptr) return {-1, {}};
    std::string out;
    char buf[4096];
    size_t n;
    while ((n = fread(buf, 1, sizeof(buf), pipe)) > 0) out.append(buf, n);
    const int status = pclose(pipe);
    ProgramRun r{WIFEXITED(status) ? WEXITSTATUS(status) : -1, {}};
    std::istringstream in(out);
    for (std::string line; std::getline(in, line);) r.lines.push_back(line);
    return r;
}

std::vector<std::string> fields(const std::string& line) {
    std::vector<std::string> out;
    std::string::size_type start = 0;
    for (;;) {
        const auto tab = line.find('\t', start);
        out.push_back(line.substr(start, tab - start));
        if (tab == std::string::npos) return out;
        start = tab + 1;
    }
}

struct Row {
    int index;
    const char* name;  // "" for a group end
    int disk_id;
};

// Index, name and disk id of every declared parameter.
const Row kRows[] = {
    {1, "About", 48},
    {2, "3D Extrusion", 1253},
    {3, "Thickness", 1235},
    {4, "", 1254},
    {5, "Grid", 1},
    {6, "Rows", 3},
    {7, "Columns", 2},
    {8, "Mesh Distortion", 4},
    {9, "", 5},
    {10, "3D Transform", 12},
    {11, "Position X", 13},
    {12, "Position Y", 14},
    {13, "Position Z", 15},
    {14, "Rotation X", 16},
    {15, "Rotation Y", 17},
    {16, "Rotation Z", 18},
    {17, "Scale X", 1157},
    {18, "Scale Y", 1158},
    {19, "Scale Z", 1159},
    {20, "Anchor X", 21},
    {21, "Anchor Y", 22},
    {22, "Anchor Z", 23},
    {23, "2D Transform", 1160},
    {24, "Tie to layer", 1161},
    {25, "Position X", 1162},
    {26, "Position Y", 1163},
    {27, "Anchor X", 1164},
    {28, "Anchor Y", 1165},
    {29, "", 1166},
    {30, "", 19},
    {31, "Material Properties", 25},
    {32, "Ambient", 63},
    {33, "Diffuse", 26},
    {34, "Specular", 27},
    {35, "Shininess", 28},
    {36, "Metal", 64},
    {37, "Opacity", 1155},
    {38, "Reflectivity", 1246},
    {39, "Fresnel", 1256},
    {40, "Fresnel Start", 1257},
    {41, "Fresnel Stop", 1258},
    {42, "Fresnel Power", 1259},
    {43, "Use for Opacity", 1260},
    {44, "", 1261},
    {45, "", 29},
    {46, "Displacement Mapping", 37},
    {47, "Displacement Layer", 38},
    {48, "Use Layer's", 39},
    {49, "Displacement Height", 40},
    {50, "Enable Polygonal Alpha Clip", 1240},
    {51, "Premultiply", 1241},
    {52, "Use Alpha as Mask", 49},
    {53, "Displacement Map Channels", 1262},
    {54, "Use for Specular", 1263},
    {55, "Use for Shininess", 1264},
    {56, "Use for Metal", 1265},
    {57, "Use for Opacity", 1266},
    {58, "Use for Reflection", 1267},
    {59, "Use for D. Noise", 1268},
    {60, "", 1269},
    {61, "Displacement Noise", 1270},
    {62, "D. Noise Amplitude", 1271},
    {63, "D. Noise Frequency", 1272},
    {64, "D. Noise Sources", 1273},
    {65, "D. Noise Ampl. Mult.", 1274},
    {66, "D. Noise Freq. Mult.", 1275},
    {67, "D. Noise Multipliers", 1276},
    {68, "D. Noise X Freq.", 1277},
    {69, "D. Noise Y Freq.", 1278},
    {70, "D. Noise Speed", 1279},
    {71, "D. Noise Range", 1280},
    {72, "D. Noise Start", 1281},
    {73, "D. Noise Stop", 1282},
    {74, "D. Noise Smooth Start", 1283},
    {75, "D. Noise Smooth Stop", 1284},
    {76, "", 1285},
    {77, "", 1286},
    {78, "D. Noise Evolution", 1287},
    {79, "D. Noise Direction", 1288},
    {80, "", 1289},
    {81, "", 41},
    {82, "Contour", 1249},
    {83, "Alpha Level", 1211},
    {84, "Pre-Blur", 1252},
    {85, "Disable Alpha Decal", 1251},
    {86, "Soften Layer Edge", 1255},
    {87, "", 1250},
    {88, "Reflection Mapping", 1242},
    {89, "Reflection Layer", 1243},
    {90, "Mapping", 1244},
    {91, "Horizontal Offset", 1290},
    {92, "Vertical Offset", 1291},
    {93, "Reflection Blending", 1292},
    {94, "", 1245},
    {95, "Deformations", 1213},
    {96, "Display region", 1214},
    {97, "Position X", 1215},
    {98, "Position Y", 1216},
    {99, "Position Z", 1217},
    {100, "Size X", 1218},
    {101, "Size Y", 1219},
    {102, "Size Z", 1220},
    {103, "Type", 1247},
    {104, "Amplitude", 1248},
    {105, "", 1224},
    {106, "Render Quality", 34},
    {107, "Render Mode", 43},
    {108, "Antialiasing", 65},
    {109, "3D Transparency", 1154},
    {110, "Advanced", 1236},
    {111, "Min Light Grazing Angle", 1238},
    {112, "Light/Object Min Distance", 1239},
    {113, "", 1237},
    {114, "", 36},
    {115, "Tessellation", 1206},
    {116, "Adaptive", 1208},
    {117, "Subdivisions", 35},
    {118, "Max Iterations", 1209},
    {119, "Tolerance", 1210},
    {120, "", 1207},
    {121, "Generator", 1167},
    {122, "Instances", 1168},
    {123, "Opacity", 1197},
    {124, "Spatial Distribution", 1173},
    {125, "Instance Offset X", 1176},
    {126, "Instance Offset Y", 1177},
    {127, "Instance Offset Z", 1171},
    {128, "Rotations", 1202},
    {129, "Spiral Rotation X", 1169},
    {130, "Spiral Rotation Y", 1170},
    {131, "Spiral Rotation Z", 1181},
    {132, "Incremental Rotation X", 1182},
    {133, "Incremental Rotation Y", 1183},
    {134, "Incremental Rotation Z", 1184},
    {135, "", 1203},
    {136, "Scale", 1204},
    {137, "Uniform Scale X", 1188},
    {138, "Uniform Scale Y", 1189},
    {139, "Uniform Scale Z", 1190},
    {140, "Incremental Scale X", 1191},
    {141, "Incremental Scale Y", 1192},
    {142, "Incremental Scale Z", 1193},
    {143, "", 1205},
    {144, "Random Factors", 1198},
    {145, "Random Statistical Model", 1174},
    {146, "Random Seed", 1175},
    {147, "Random Amplitude", 1200},
    {148, "Randomize All", 1201},
    {149, "Randomize Instance Offset", 1178},
    {150, "Randomize Rotations", 1185},
    {151, "Randomize Scale", 1194},
    {152, "", 1199},
    {153, "", 1172},
    {154, "Environment", 1293},
    {155, "Mist", 1294},
    {156, "Mist Type", 1295},
    {157, "Mist Intensity", 1296},
    {158, "Mist Color", 1297},
    {159, "Mist Opacity", 1298},
    {160, "Mist Near X", 1299},
    {161, "Mist Near Y", 1300},
    {162, "Mist Near Z", 1301},
    {163, "Mist Far X", 1302},
    {164, "Mist Far Y", 1303},
    {165, "Mist Far Z", 1304},
    {166, "Mist Preserve Alpha", 1305},
    {167, "Mist Blending", 1306},
    {168, "", 1307},
    {169, "Fog", 1308},
    {170, "Fog Type", 1309},
    {171, "Fog Intensity", 1310},
    {172, "Fog Color", 1311},
    {173, "Fog Opacity", 1312},
    {174, "Fog Near", 1313},
    {175, "Fog Far", 1314},
    {176, "Fog Preserve Alpha", 1315},
    {177, "Fog Blending", 1316},
    {178, "", 1317},
    {179, "", 1318},
};

const std::string kPlugin = TAVREL_PLUGIN_DIR "/Tavrel_Varnmoor.so";

class VarnmoorParams : public ::testing::Test {
protected:
    static void SetUpTestSuite() { run = new ProgramRun(run_simhost("params " + kPlugin)); }
    static void TearDownTestSuite() { delete run; }
    static ProgramRun* run;
};
ProgramRun* VarnmoorParams::run = nullptr;

TEST_F(VarnmoorParams, EveryIndexHasItsNameAndDiskId) {
    ASSERT_EQ(run->status, 0);
    ASSERT_EQ(run->lines.size(), 179u);
    ASSERT_EQ(std::size(kRows), 179u);
    std::set<int> disk_ids;
    for (const Row& row : kRows) {
        const auto f = fields(run->lines[size_t(row.index - 1)]);
        ASSERT_GE(f.size(), 4u) << run->lines[size_t(row.index - 1)];
        EXPECT_EQ(f[0], std::to_string(row.index));
        EXPECT_EQ(f[1], row.name) << "index " << row.index;
        EXPECT_EQ(f[3], std::to_string(row.disk_id)) << "index " << row.index;
        EXPECT_TRUE(disk_ids.insert(std::stoi(f[3])).second) << "disk id " << f[3] << " twice";
    }
}

TEST_F(VarnmoorParams, NewAndChangedRowsInFull) {
    ASSERT_EQ(run->lines.size(), 179u);
    const std::map<int, std::string> expected = {
        {1, "1\tAbout\tPF_Param_NO_DATA\t48\t0x0\tui=0x2 ui_size=300x60"},
        {2, "2\t3D Extrusion\tPF_Param_GROUP_START\t1253\t0x0\t"},
        {3, "3\tThickness\tPF_Param_FLOAT_SLIDER\t1235\t0x0\tvalid=1..2000 slider=1..2000 default=40 "
            "precision=2"},
        {4, "4\t\tPF_Param_GROUP_END\t1254\t0x0\t"},
        {5, "5\tGrid\tPF_Param_GROUP_START\t1\t0x20\tui=0x200"},
        {6, "6\tRows\tPF_Param_FIX_SLIDER\t3\t0x66\tvalid=1..20 slider=1..10 default=2 precision=0"},
        {7, "7\tColumns\tPF_Param_FIX_SLIDER\t2\t0x66\tvalid=1..20 slider=1..10 default=2 precision=0"},
        {8, "8\tMesh Distortion\tPF_Param_ARBITRARY_DATA\t4\t0x60\tid=1234 refcon=0xdeadbeef ui=0x202"},
        {9, "9\t\tPF_Param_GROUP_END\t5\t0x0\t"},
        {39, "39\tFresnel\tPF_Param_GROUP_START\t1256\t0x0\t"},
        {43, "43\tUse for Opacity\tPF_Param_CHECKBOX\t1260\t0x102\tdefault=0 label=\"\""},
        {49, "49\tDisplacement Height\tPF_Param_FIX_SLIDER\t40\t0x20\tvalid=0..10000 slider=0..1000 "
             "default=0 precision=1"},
        {50, "50\tEnable Polygonal Alpha Clip\tPF_Param_CHECKBOX\t1240\t0xc2\tdefault=1 "
             "label=\"Tied to Adaptive Tess.\""},
        {84, "84\tPre-Blur\tPF_Param_FLOAT_SLIDER\t1252\t0x0\tvalid=0..100 slider=0..200 default=2 "
             "precision=2"},
        {86, "86\tSoften Layer Edge\tPF_Param_CHECKBOX\t1255\t0x102\tdefault=1 label=\"\""},
        {87, "87\t\tPF_Param_GROUP_END\t1250\t0x0\t"},
        {95, "95\tDeformations\tPF_Param_GROUP_START\t1213\t0x0\t"},
        {96, "96\tDisplay region\tPF_Param_CHECKBOX\t1214\t0x102\tdefault=0 label=\"\""},
        {97, "97\tPosition X\tPF_Param_FLOAT_SLIDER\t1215\t0x100\tvalid=-30000..30000 "
             "slider=-30000..30000 default=0 precision=2"},
        {100, "100\tSize X\tPF_Param_FLOAT_SLIDER\t1218\t0x100\tvalid=100..30000 slider=100..30000 "
              "default=2000 precision=2"},
        {102, "102\tSize Z\tPF_Param_FLOAT_SLIDER\t1220\t0x100\tvalid=100..30000 slider=100..30000 "
              "default=1000 precision=2"},
        {103, "103\tType\tPF_Param_POPUP\t1247\t0x100\tchoices=3 default=1 names=\"Twist|Bend|Bulge\""},
        {104, "104\tAmplitude\tPF_Param_FLOAT_SLIDER\t1248\t0x100\tvalid=-100..400 slider=-100..200 "
              "default=0 precision=2 percent"},
        {105, "105\t\tPF_Param_GROUP_END\t1224\t0x0\t"},
        {116, "116\tAdaptive\tPF_Param_CHECKBOX\t1208\t0x40\tdefault=1 label=\"\""},
        {179, "179\t\tPF_Param_GROUP_END\t1318\t0x0\t"},
    };
    for (const auto& [index, line] : expected) EXPECT_EQ(run->lines[size_t(index - 1)], line);
}

TEST(VarnmoorParamSetup, DeclaresOneHundredEightyWithinTheHostsRules) {
    simhost::Host host;
    host.load(kPlugin);
    const auto r = host.call(PF_Cmd_PARAMS_SETUP);
    ASSERT_EQ(r.err, PF_Err_NONE) << r.message;
    EXPECT_EQ(host.out_data().num_params, 180);
    EXPECT_EQ(host.params().count(), 180);
    EXPECT_TRUE(host.violations().empty()) << host.violations().front();
}

}  // namespace
