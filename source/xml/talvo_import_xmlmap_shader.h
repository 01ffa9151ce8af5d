// Light gradients from the shader nodes of a light: a root reference becomes a host
// gradient filled from its node, with one knot per knot node that its "KNOTS" names, and
// is set on the host light parameter.
#pragma once

#include <cstdint>
#include <memory>

#include "host/gradient.h"
#include "host/text.h"
#include "talvo_import_xmlmap_tree.h"

namespace host {
class BaseObject;
}

namespace talvo {

// What a shader reference gave.
constexpr int32_t kShaderValueNone = 0;
constexpr int32_t kShaderValueGradient = 2;

struct ShaderValue {
  host::String name;  // the reference
  int32_t kind = kShaderValueNone;
  std::unique_ptr<host::Gradient> gradient;  // when kind is kShaderValueGradient
};

class ShaderBuilder {
 public:
  ShaderBuilder(const XmlMapper& mapper, const ShaderTable& shaders) : mapper_(mapper), shaders_(shaders) {}

  ShaderValue buildShaderValue(const host::String& reference) const;
  // Sets the node's data items and knots on the gradient; always true.
  bool fillGradient(const ShaderNode& node, host::Gradient& gradient) const;
  // A knot from a knot node; the starting knot where the node gives no usable value.
  static host::GradientKnot buildKnot(const ShaderNode& node);

 private:
  const XmlMapper& mapper_;
  const ShaderTable& shaders_;
};

// Sets the built gradient on the light's parameter; false, with a message, when the
// reference gave none.
bool setShaderParameter(host::BaseObject* light, const XmlParam& param, ShaderValue& value);

}  // namespace talvo
