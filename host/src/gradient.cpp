#include "host/gradient.h"

#include <new>

namespace host {

std::unique_ptr<Gradient> Gradient::alloc() {
  return std::unique_ptr<Gradient>(new (std::nothrow) Gradient());
}

std::unique_ptr<CustomData> Gradient::clone() const {
  return std::make_unique<Gradient>(*this);
}

bool Gradient::equals(const CustomData& other) const {
  const auto* o = dynamic_cast<const Gradient*>(&other);
  return o && data_ == o->data_ && knots_ == o->knots_;
}

bool Gradient::insertKnot(const GradientKnot& knot) {
  try {
    knots_.push_back(knot);
  } catch (const std::bad_alloc&) {
    return false;
  }
  return true;
}

const Gradient* getGradient(const HostValue& value) {
  return dynamic_cast<const Gradient*>(value.getCustom());
}

}  // namespace host
