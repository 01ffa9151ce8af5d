#include "talvo_import_xmlmap_shader.h"

#include <string>

#include "host/scene.h"
#include "talvo_import_c4d_diagnostics.h"

namespace talvo {
namespace {

bool isGradientKind(int32_t shaderId) {
  return shaderId == 1001 || shaderId == 1002 || shaderId == 1005 || shaderId == 1006;
}
bool isKnotKind(int32_t shaderId) {
  return shaderId == 1003 || shaderId == 1004;
}

}  // namespace

ShaderValue ShaderBuilder::buildShaderValue(const host::String& reference) const {
  ShaderValue result;
  result.name = reference;
  const ShaderNode* node = shaders_.find(reference);
  if (!node) {
    printLine("Error: Not found shader in tree: %s", text8(reference).c_str());
    return result;
  }
  if (!isGradientKind(node->shaderId)) {
    printLine("Error: Shader without allocation: %s '%s'", text8(node->kindName).c_str(),
              text8(reference).c_str());
    return result;
  }
  std::unique_ptr<host::Gradient> gradient = host::Gradient::alloc();
  if (!gradient) {
    printLine("Error: Cannot allocate gradient shader: %s", text8(node->kindName).c_str());
    printLine("Error: Cannot create Gradient shader: %s", text8(reference).c_str());
    return result;
  }
  fillGradient(*node, *gradient);
  result.kind = kShaderValueGradient;
  result.gradient = std::move(gradient);
  return result;
}

bool ShaderBuilder::fillGradient(const ShaderNode& node, host::Gradient& gradient) const {
  const std::string kind = text8(node.kindName);
  if (node.parentParams.size() != 0)
    printLine("Error: Parent parameters not allowed in Gradient: %s", kind.c_str());
  node.params.forEach([&](const host::String& name, const XmlParam& param) {
    const std::string name8 = text8(name);
    if (param.c4dId != 0) {
      if (isEnumCode(param.typeCode)) {
        const int32_t n = mapper_.findEnumValue("ALL", param.typeCode, param.value);
        if (n == -1) {
          printLine("Error: Not found enum value: %s_%s", kind.c_str(), name8.c_str());
        } else {
          gradient.getDataInstance().setInt32(param.c4dId, n);
        }
      } else if (isShaderCode(param.typeCode)) {
        printLine("Error: Gradient not contain SubShader with id: %s_%s", kind.c_str(), name8.c_str());
      } else {
        gradient.getDataInstance().setValue(param.c4dId, param.value);
      }
    } else if ((param.typeCode == 1003 || param.typeCode == 1004) && name == "KNOTS") {
      if (param.value.type() != host::kValueString || param.value.getString().empty()) return;
      for (const host::String& piece : host::splitString(param.value.getString(), ',')) {
        if (const ShaderNode* knot = shaders_.find(piece)) gradient.insertKnot(buildKnot(*knot));
      }
    } else {
      printLine("Error: parameter without ID: %s_%s", kind.c_str(), name8.c_str());
    }
  });
  return true;
}

host::GradientKnot ShaderBuilder::buildKnot(const ShaderNode& node) {
  host::GradientKnot knot;
  const std::string kind = text8(node.kindName);
  if (!isKnotKind(node.shaderId)) {
    printLine("Error: ShaderRoot is not GradientKnot: %s", kind.c_str());
    return knot;
  }
  int32_t accepted = 0;
  node.params.forEach([&](const host::String& name, const XmlParam& param) {
    auto takeReal = [&](double& field, const char* wrong) {
      if (param.value.type() == host::kValueReal) {
        field = param.value.getReal();
        ++accepted;
      } else {
        printLine(wrong, kind.c_str(), text8(name).c_str());
      }
    };
    if (name == "COLOR") {
      if (param.value.type() == host::kValueVector) {
        knot.colour = param.value.getVector();
        ++accepted;
      } else {
        printLine("Error: Wrong Gradient Knot 'COLOR' data: %s_%s", kind.c_str(), text8(name).c_str());
      }
    } else if (name == "INTENSITY") {
      takeReal(knot.brightness, "Error: Wrong Gradient Knot 'INTESITY' data: %s_%s");
    } else if (name == "POSITION") {
      takeReal(knot.position, "Error: Wrong Gradient Knot 'POSITION' data: %s_%s");
    } else if (name == "BIAS") {
      takeReal(knot.bias, "Error: Wrong Gradient Knot 'BIAS' data: %s_%s");
    }
  });
  if (accepted != 4) printLine("Error: Cannot found all Gradient Knot parameter: %s", kind.c_str());
  return knot;
}

bool setShaderParameter(host::BaseObject* light, const XmlParam& param, ShaderValue& value) {
  if (value.kind != kShaderValueGradient || !value.gradient) {
    printLine("Error: Cannot set shader: '%s'", text8(value.name).c_str());
    return false;
  }
  light->getDataInstance().setValue(param.c4dId, host::HostValue::custom(std::move(value.gradient)));
  return true;
}

}  // namespace talvo
