#include <gtest/gtest.h>

#include "platform/vcl/Classes.h"

using namespace vcl;

TEST(Components, OwnerKeepsOrderAndFreesWhatItOwns) {
  static int freed = 0;
  struct Probe : TComponent {
    using TComponent::TComponent;
    ~Probe() override { ++freed; }
  };
  freed = 0;
  auto* owner = new TComponent(nullptr);
  auto* a = new Probe(owner);
  auto* b = new Probe(owner);
  auto* c = new Probe(owner);
  ASSERT_EQ(owner->ComponentCount(), 3);
  EXPECT_EQ(owner->Components(0), a);
  EXPECT_EQ(owner->Components(2), c);
  delete b;  // a component freed early leaves its owner's list
  ASSERT_EQ(owner->ComponentCount(), 2);
  EXPECT_EQ(owner->Components(1), c);
  delete owner;
  EXPECT_EQ(freed, 3);
}

TEST(Components, ControlsHaveParentsAndSizes) {
  TComponent owner(nullptr);
  auto* panel = new TPanel(&owner);
  auto* child = new TControl(&owner);
  child->SetParent(panel);
  panel->SetWidth(1024);
  panel->SetHeight(768);
  EXPECT_EQ(child->Parent(), panel);
  EXPECT_EQ(panel->ControlCount(), 1);
  EXPECT_EQ(panel->Width(), 1024);
  EXPECT_EQ(panel->Height(), 768);
  EXPECT_STREQ(panel->ClassName(), "TPanel");
  delete panel;  // the child stays owned, without a parent
  EXPECT_EQ(child->Parent(), nullptr);
}
