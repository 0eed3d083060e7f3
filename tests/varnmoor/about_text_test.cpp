// Each effect's About command shows its own text: its name line, a carriage
// return and its credits line, as the host receives them.
#include <gtest/gtest.h>

#include <string>

#include "simhost/host.h"
#include "varnmoor/varnmoor_about.h"

namespace {

TEST(AboutText, EachLibraryShowsItsOwnText) {
    struct Case {
        const char* library;
        const char* text;
    };
    const Case cases[] = {
        {"Tavrel_Varnmoor.so",
         "Varnmoor Version 1.5 CS6\rCopyright (c) Tavrel. Twist, bend and bulge inside a box region, extrusion, "
         "lighting and rendering by OpenGL."},
        {"Tavrel_LattixPro.so",
         "Lattix Pro Version 1.5 CS6\rCopyright (c) Tavrel. Bicubic surface deformation, lighting and rendering by "
         "OpenGL."},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.library);
        simhost::Host host;
        host.load(std::string(TAVREL_PLUGIN_DIR) + "/" + c.library);
        const simhost::CallResult r = host.call(PF_Cmd_ABOUT);
        EXPECT_EQ(r.err, 0);
        EXPECT_EQ(r.message, c.text);
        host.unload();
        EXPECT_TRUE(host.violations().empty()) << ::testing::PrintToString(host.violations());
    }
}

TEST(AboutText, TheSecondEffectsTableIsIndexedByPosition) {
    const tavrel::AboutEntry* table = tavrel::varnmoor::about_strings();
    for (int i = 0; i < tavrel::kAboutEntryCount; ++i) {
        EXPECT_EQ(table[i].index, uint32_t(i));
        if (i != 1 && i != 2) {
            EXPECT_STREQ(table[i].text, "");
        }
    }
}

}  // namespace
