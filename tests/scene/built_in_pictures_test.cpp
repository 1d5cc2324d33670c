#include <gtest/gtest.h>

#include <string>

#include "platform/vcl/SysUtils.h"
#include "scene/BuiltInPictures.h"

namespace {

using scene::BuiltInPictures;

TEST(BuiltInPictures, HandsOverEachPictureDecodedInWhateverOrderItIsTaken) {
  BuiltInPictures pictures({"KIM1", "KMV2flame9", "KIM2GadgetPanel"});
  const vcl::TPicture panel = pictures.Take("KIM2GadgetPanel");
  const vcl::TPicture background = pictures.Take("KIM1");
  ASSERT_NE(panel.Graphic(), nullptr);
  ASSERT_NE(background.Graphic(), nullptr);
  EXPECT_STREQ(panel.Graphic()->ClassName(), "TGIFImage");
  EXPECT_EQ(panel.Graphic()->Width(), 1024);
  EXPECT_EQ(panel.Graphic()->Height(), 70);
  EXPECT_STREQ(background.Graphic()->ClassName(), "TJPEGImage");
  EXPECT_EQ(background.Graphic()->Width(), 1024);
  EXPECT_EQ(background.Graphic()->Height(), 768);
}

TEST(BuiltInPictures, APictureThatIsNotThereIsAnErrorNamingIt) {
  BuiltInPictures pictures({"KIM1", "NoSuchPicture"});
  for (const char* name : {"NoSuchPicture", "NeverAskedFor"}) {
    try {
      pictures.Take(name);
      ADD_FAILURE() << name << " was handed over";
    } catch (const vcl::Exception& e) {
      EXPECT_EQ(std::string(e.what()), std::string("Cannot read picture '") + name + "': not built in");
    }
  }
  EXPECT_NE(pictures.Take("KIM1").Graphic(), nullptr);  // the others are still there
}

TEST(BuiltInPictures, GoingAwayWhileDecodingStopsAfterThePictureAtHand) {
  // Nothing taken: the destructor must neither hang nor leave the thread running.
  BuiltInPictures pictures({"KMV2flame1", "KMV2flame2", "KMV2flame3", "KMV2flame4"});
}

}  // namespace
