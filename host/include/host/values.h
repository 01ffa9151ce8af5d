// The host's tagged value and its container.
#pragma once

#include <cstdint>
#include <memory>
#include <utility>
#include <variant>
#include <vector>

#include "host/filename.h"
#include "host/text.h"

namespace host {

// Value tags, the host's own numbers.
constexpr int32_t kValueNone = 0;
constexpr int32_t kValueInteger = 15;
constexpr int32_t kValueReal = 19;
constexpr int32_t kValueVector = 23;
constexpr int32_t kValueString = 130;
constexpr int32_t kValueFilename = 131;
// Custom data types carry their own id as the tag, for example the gradient.
constexpr int32_t kCustomGradient = 1000481;

struct Vector {
  double x = 0.0;
  double y = 0.0;
  double z = 0.0;
  friend bool operator==(const Vector&, const Vector&) = default;
};

// Base of the host's custom data types (gradients and the like).
class CustomData {
 public:
  virtual ~CustomData() = default;
  virtual int32_t typeId() const = 0;
  virtual std::unique_ptr<CustomData> clone() const = 0;
  virtual bool equals(const CustomData& other) const = 0;
};

class HostValue {
 public:
  HostValue() = default;
  static HostValue integer(int32_t v) { return HostValue(v); }
  static HostValue real(double v) { return HostValue(v); }
  static HostValue vector(Vector v) { return HostValue(v); }
  static HostValue string(String v) { return HostValue(std::move(v)); }
  static HostValue filename(Filename v) { return HostValue(std::move(v)); }
  static HostValue custom(std::unique_ptr<CustomData> v);

  HostValue(const HostValue& other);
  HostValue& operator=(const HostValue& other);
  HostValue(HostValue&&) noexcept = default;
  HostValue& operator=(HostValue&&) noexcept = default;

  // The value's tag: one of kValue… or the custom data's type id.
  int32_t type() const;

  // Typed reads; a value of another tag gives the type's zero.
  int32_t getInt32() const;
  double getReal() const;
  Vector getVector() const;
  const String& getString() const;
  const Filename& getFilename() const;
  const CustomData* getCustom() const;

  friend bool operator==(const HostValue& a, const HostValue& b);

 private:
  using Custom = std::unique_ptr<CustomData>;
  explicit HostValue(int32_t v) : data_(v) {}
  explicit HostValue(double v) : data_(v) {}
  explicit HostValue(Vector v) : data_(v) {}
  explicit HostValue(String v) : data_(std::move(v)) {}
  explicit HostValue(Filename v) : data_(std::move(v)) {}
  std::variant<std::monostate, int32_t, double, Vector, String, Filename, Custom> data_;
};

// Maps int32 ids to values, in the order the ids were first set.
class Container {
 public:
  explicit Container(int32_t id = 0) : id_(id) {}

  int32_t id() const { return id_; }
  void setId(int32_t id) { id_ = id; }

  void setValue(int32_t id, HostValue value);
  void setInt32(int32_t id, int32_t v) { setValue(id, HostValue::integer(v)); }
  void setBool(int32_t id, bool v) { setValue(id, HostValue::integer(v ? 1 : 0)); }
  void setReal(int32_t id, double v) { setValue(id, HostValue::real(v)); }
  void setVector(int32_t id, Vector v) { setValue(id, HostValue::vector(v)); }
  void setString(int32_t id, String v) { setValue(id, HostValue::string(std::move(v))); }
  void setFilename(int32_t id, Filename v) { setValue(id, HostValue::filename(std::move(v))); }

  // nullptr when the id is not set.
  const HostValue* getValue(int32_t id) const;
  // Typed reads with a default for a missing id or a value of another tag.
  int32_t getInt32(int32_t id, int32_t preset = 0) const;
  bool getBool(int32_t id, bool preset = false) const;
  double getReal(int32_t id, double preset = 0.0) const;
  Vector getVector(int32_t id, Vector preset = {}) const;
  String getString(int32_t id, const String& preset = {}) const;
  Filename getFilename(int32_t id, const Filename& preset = {}) const;

  bool remove(int32_t id);
  void clear() { entries_.clear(); }
  size_t size() const { return entries_.size(); }
  const std::vector<std::pair<int32_t, HostValue>>& entries() const { return entries_; }

  friend bool operator==(const Container& a, const Container& b) = default;

 private:
  int32_t id_;
  std::vector<std::pair<int32_t, HostValue>> entries_;
};

}  // namespace host
