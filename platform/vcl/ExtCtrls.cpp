#include "platform/vcl/ExtCtrls.h"

namespace vcl {

TImage::TImage(TComponent* AOwner) : TControl(AOwner) {}

TImage::~TImage() = default;

}  // namespace vcl
