// A small component base: an owner, a name, a design-mode flag, and the
// components it owns, destroyed with it, the last created first.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace kestu {

class TComponent {
 public:
  // Joins the owner's component list; a component of a designing owner is
  // designing too. A component with an owner must be made with new: the
  // owner deletes it.
  explicit TComponent(TComponent* owner);
  virtual ~TComponent();
  TComponent(const TComponent&) = delete;
  TComponent& operator=(const TComponent&) = delete;

  TComponent* Owner() const { return owner_; }
  const std::vector<TComponent*>& Components() const { return components_; }

  const std::string& Name() const { return name_; }
  void SetName(std::string name) { name_ = std::move(name); }

  // Design mode: the component sits in a form designer rather than a running program.
  bool Designing() const { return designing_; }
  void SetDesigning(bool designing);

  // Called once the owner's stored properties have all been applied.
  virtual void Loaded() {}

  // The native window this component stands for, 0 when it is not a window.
  virtual std::uintptr_t WindowHandle() { return 0; }

 private:
  void Remove(TComponent* component);

  TComponent* owner_;
  std::string name_;
  bool designing_ = false;
  std::vector<TComponent*> components_;
};

}  // namespace kestu
