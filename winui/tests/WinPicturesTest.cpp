// The pictures come from the program's own resources; a missing or broken one
// must be named, since the window then tells the user to download again.
#include "WinTestSupport.h"
#include "winui/WinPictures.h"

namespace {

TEST(WinPicturesTest, EveryPictureLoadsWithItsSize) {
    const TWinPictures pictures = TWinPictures::Load();
    EXPECT_EQ(TPictureDrawing::Size(*pictures.pngBackground), (TRect{0, 0, 600, 250}));
    EXPECT_EQ(TPictureDrawing::Size(*pictures.pngLogoInstall), (TRect{0, 0, 149, 38}));
    EXPECT_EQ(TPictureDrawing::Size(*pictures.pngAlert), (TRect{0, 0, 40, 36}));
    EXPECT_EQ(pictures.pngLogoProgress, pictures.pngLogoInstall) << "this edition has no second logo";
}

TEST(WinPicturesTest, AMissingOrBrokenPictureIsNamed) {
    struct TCase {
        const wchar_t* resource;
        const char* message;
    };
    for (const TCase& c : {TCase{L"imgMissing", "the picture imgMissing is missing from the program"},
                           TCase{L"fntStandIn", "the picture fntStandIn is not a PNG picture"}}) {
        try {
            TWinPictures::LoadResource(c.resource);
            ADD_FAILURE() << c.message;
        } catch (const std::runtime_error& e) {
            EXPECT_STREQ(e.what(), c.message);
        }
    }
}

}  // namespace
