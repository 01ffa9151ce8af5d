// The host's colour gradient: custom data (type 1000481) with data items by id and an
// ordered list of knots. Light parameters hold it as a value.
#pragma once

#include <cstdint>
#include <memory>
#include <vector>

#include "host/values.h"

namespace host {

// Data item of the gradient's interpolation (an integer).
constexpr int32_t kGradientInterpolation = 1000;

struct GradientKnot {
  Vector colour{1.0, 1.0, 1.0};
  double brightness = 1.0;
  double position = 0.0;
  double bias = 0.5;
  int32_t index = 0;
  friend bool operator==(const GradientKnot&, const GradientKnot&) = default;
};

class Gradient : public CustomData {
 public:
  // A new gradient without knots; nullptr when memory is short.
  static std::unique_ptr<Gradient> alloc();

  int32_t typeId() const override { return kCustomGradient; }
  std::unique_ptr<CustomData> clone() const override;
  bool equals(const CustomData& other) const override;

  Container& getDataInstance() { return data_; }
  const Container& getData() const { return data_; }

  // Appends a knot as given; false when memory is short.
  bool insertKnot(const GradientKnot& knot);
  const std::vector<GradientKnot>& knots() const { return knots_; }

 private:
  Container data_;
  std::vector<GradientKnot> knots_;
};

// The gradient a value holds; nullptr for any other value.
const Gradient* getGradient(const HostValue& value);

}  // namespace host
