// `simhost params` against lines written by hand from the parameter table.
#include <gtest/gtest.h>

#include <sys/wait.h>

#include <cstdio>
#include <map>
#include <sstream>
#include <string>
#include <vector>

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

TEST(ParamsVerb, PrintsEveryDeclaredParameterInTheHostsTerms) {
    const ProgramRun r = run_simhost(std::string("params ") + TAVREL_PLUGIN_DIR "/Tavrel_LattixPro.so");
    ASSERT_EQ(r.status, 0);
    ASSERT_EQ(r.lines.size(), 275u);
    const std::map<int, std::string> expected = {
        {1, "1\tAbout\tPF_Param_NO_DATA\t48\t0x0\tui=0x2 ui_size=300x60"},
        {2, "2\tGrid\tPF_Param_GROUP_START\t1\t0x20\t"},
        {3, "3\tRows\tPF_Param_FIX_SLIDER\t3\t0x66\tvalid=1..20 slider=1..10 default=2 precision=0"},
        {5, "5\tMesh Distortion\tPF_Param_ARBITRARY_DATA\t4\t0x60\tid=1234 refcon=0xdeadbeef ui=0x2"},
        {10, "10\tTangent Tension\tPF_Param_FLOAT_SLIDER\t1226\t0x0\tvalid=-100..100 "
             "slider=-100..100 default=0 precision=2 percent"},
        {11, "11\tRows Endpoints Bias\tPF_Param_ANGLE\t1227\t0x0\tdefault=0"},
        {17, "17\t\tPF_Param_GROUP_END\t1231\t0x0\t"},
        {18, "18\tManipulation\tPF_Param_POPUP\t8\t0x124\tchoices=4 default=1 "
             "names=\"X,Y,Z|X only|Y only|Z only\""},
        {22, "22\tPosition X\tPF_Param_FIX_SLIDER\t13\t0x120\tvalid=-32767..32767 "
             "slider=-2000..2000 default=0 precision=1"},
        {35, "35\tTie to layer\tPF_Param_CHECKBOX\t1161\t0x142\tdefault=1 "
             "label=\"Use layer transform\""},
        {60, "60\tRow 1\tPF_Param_GROUP_START\t74\t0x0\t"},
        {126, "126\tR5-P5 Position Z\tPF_Param_FLOAT_SLIDER\t150\t0x40\tvalid=-5000..5000 "
              "slider=-1000..1000 default=0.000143 precision=2"},
        {145, "145\tBackside Layer\tPF_Param_LAYER\t32\t0x100\tdefault=none"},
        {151, "151\tEnable Polygonal Alpha Clip\tPF_Param_CHECKBOX\t1240\t0xc2\tdefault=0 "
              "label=\"Tied to Adaptive Tess.\""},
        {166, "166\tD. Noise Ampl. Mult.\tPF_Param_FLOAT_SLIDER\t1273\t0x0\tvalid=0..1 "
              "slider=0..1 default=0.5 precision=2"},
        {185, "185\tPre-Blur\tPF_Param_FLOAT_SLIDER\t1252\t0x0\tvalid=0..100 slider=0..200 "
              "default=0 precision=2"},
        {200, "200\tMin Light Grazing Angle\tPF_Param_FLOAT_SLIDER\t1238\t0x100\tvalid=0..22.5 "
              "slider=0..22.5 default=0 precision=2"},
        {206, "206\tSubdivisions\tPF_Param_FIX_SLIDER\t35\t0x20\tvalid=16..1000 slider=32..512 "
              "default=100 precision=0"},
        {207, "207\tMax Iterations\tPF_Param_SLIDER\t1209\t0x0\tvalid=2..10 slider=4..10 default=6"},
        {208, "208\tTolerance\tPF_Param_FLOAT_SLIDER\t1210\t0x0\tvalid=0.01..100 slider=0.01..10 "
              "default=5 precision=2"},
        {211, "211\tGrid Color\tPF_Param_COLOR\t57\t0x180\tdefault=255,255,0,255"},
        {215, "215\t\tPF_Param_GROUP_END\t60\t0x180\t"},
        {242, "242\tRandom Seed\tPF_Param_SLIDER\t1175\t0x100\tvalid=0..2147483647 "
              "slider=0..2147483647 default=1197739"},
        {266, "266\tFog Type\tPF_Param_POPUP\t1308\t0x6\tchoices=3 default=1 "
              "names=\"None|Linear|Exponential|Smooth\""},
        {271, "271\tFog Far\tPF_Param_FLOAT_SLIDER\t1313\t0x0\tvalid=0..50000 slider=0..1000 "
              "default=15000 precision=0"},
        {275, "275\t\tPF_Param_GROUP_END\t1317\t0x0\t"},
    };
    for (const auto& [index, line] : expected) EXPECT_EQ(r.lines[size_t(index - 1)], line);
    for (size_t i = 0; i < r.lines.size(); ++i)
        EXPECT_EQ(r.lines[i].substr(0, r.lines[i].find('\t')), std::to_string(i + 1));
}

TEST(ParamsVerb, RefusesWrongArguments) {
    EXPECT_EQ(run_simhost("params").status, 1);
    EXPECT_EQ(run_simhost("params /nonexistent/Tavrel_None.so").status, 1);
}

}  // namespace
