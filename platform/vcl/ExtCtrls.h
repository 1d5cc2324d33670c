#pragma once
// The picture control: a control that holds one picture.
#include "platform/vcl/Classes.h"
#include "platform/vcl/Graphics.h"

namespace vcl {

class TImage : public TControl {
 public:
  explicit TImage(TComponent* AOwner);
  ~TImage() override;
  const char* ClassName() const override { return "TImage"; }

  TPicture* Picture() { return &FPicture; }
  const TPicture* Picture() const { return &FPicture; }
  // Takes a copy of `picture`.
  void SetPicture(const TPicture& picture) { FPicture.Assign(picture); }

 private:
  TPicture FPicture;
};

}  // namespace vcl
