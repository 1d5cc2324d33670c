#pragma once
// The component model the system is built from: objects with a class name, components with an
// owner that keeps an ordered list of what it owns, and controls with a parent and a size.
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

namespace vcl {

class TObject {
 public:
  virtual ~TObject() = default;
  // The class's own name ("TKss", "TJPEGImage" ...), as callers test it by name.
  virtual const char* ClassName() const { return "TObject"; }
};

using TNotifyEvent = std::function<void(TObject* Sender)>;

class TComponent : public TObject {
 public:
  explicit TComponent(TComponent* AOwner);
  ~TComponent() override;  // frees the owned components, last first
  TComponent(const TComponent&) = delete;
  TComponent& operator=(const TComponent&) = delete;
  const char* ClassName() const override { return "TComponent"; }

  TComponent* Owner() const { return FOwner; }
  int ComponentCount() const { return static_cast<int>(FComponents.size()); }
  TComponent* Components(int index) const { return FComponents.at(static_cast<std::size_t>(index)); }

  std::string Name;

 private:
  void InsertComponent(TComponent* c) { FComponents.push_back(c); }
  void RemoveComponent(TComponent* c);

  TComponent* FOwner = nullptr;
  std::vector<TComponent*> FComponents;
};

enum class TColor : std::uint32_t { clBlack = 0x000000, clWhite = 0xFFFFFF, clBtnFace = 0xC0C0C0 };

class TControl : public TComponent {
 public:
  explicit TControl(TComponent* AOwner) : TComponent(AOwner) {}
  ~TControl() override;
  const char* ClassName() const override { return "TControl"; }

  TControl* Parent() const { return FParent; }
  void SetParent(TControl* parent);
  int ControlCount() const { return static_cast<int>(FControls.size()); }
  TControl* Controls(int index) const { return FControls.at(static_cast<std::size_t>(index)); }

  std::int32_t Left = 0, Top = 0;
  std::int32_t Width() const { return FWidth; }
  std::int32_t Height() const { return FHeight; }
  virtual void SetWidth(std::int32_t w) { FWidth = w; }
  virtual void SetHeight(std::int32_t h) { FHeight = h; }

  bool Visible = true;
  TColor Color = TColor::clBtnFace;
  virtual void Show() { Visible = true; }
  virtual void Hide() { Visible = false; }

 private:
  TControl* FParent = nullptr;
  std::vector<TControl*> FControls;
  std::int32_t FWidth = 0, FHeight = 0;
};

class TPanel : public TControl {
 public:
  explicit TPanel(TComponent* AOwner) : TControl(AOwner) {}
  const char* ClassName() const override { return "TPanel"; }
};

}  // namespace vcl
