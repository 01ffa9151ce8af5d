#include "host/values.h"

namespace host {

HostValue HostValue::custom(std::unique_ptr<CustomData> v) {
  HostValue value;
  if (v) value.data_ = std::move(v);
  return value;
}

HostValue::HostValue(const HostValue& other) {
  *this = other;
}

HostValue& HostValue::operator=(const HostValue& other) {
  if (this == &other) return *this;
  if (const auto* c = std::get_if<Custom>(&other.data_)) {
    data_ = (*c)->clone();
  } else {
    std::visit(
        [this](const auto& v) {
          if constexpr (!std::is_same_v<std::decay_t<decltype(v)>, Custom>) data_ = v;
        },
        other.data_);
  }
  return *this;
}

int32_t HostValue::type() const {
  switch (data_.index()) {
    case 1:
      return kValueInteger;
    case 2:
      return kValueReal;
    case 3:
      return kValueVector;
    case 4:
      return kValueString;
    case 5:
      return kValueFilename;
    case 6:
      return std::get<Custom>(data_)->typeId();
    default:
      return kValueNone;
  }
}

int32_t HostValue::getInt32() const {
  const auto* v = std::get_if<int32_t>(&data_);
  return v ? *v : 0;
}

double HostValue::getReal() const {
  const auto* v = std::get_if<double>(&data_);
  return v ? *v : 0.0;
}

Vector HostValue::getVector() const {
  const auto* v = std::get_if<Vector>(&data_);
  return v ? *v : Vector{};
}

const String& HostValue::getString() const {
  static const String kEmpty;
  const auto* v = std::get_if<String>(&data_);
  return v ? *v : kEmpty;
}

const Filename& HostValue::getFilename() const {
  static const Filename kEmpty;
  const auto* v = std::get_if<Filename>(&data_);
  return v ? *v : kEmpty;
}

const CustomData* HostValue::getCustom() const {
  const auto* v = std::get_if<Custom>(&data_);
  return v ? v->get() : nullptr;
}

bool operator==(const HostValue& a, const HostValue& b) {
  if (a.data_.index() != b.data_.index()) return false;
  if (const auto* ca = std::get_if<HostValue::Custom>(&a.data_)) {
    const auto& cb = std::get<HostValue::Custom>(b.data_);
    return (*ca)->typeId() == cb->typeId() && (*ca)->equals(*cb);
  }
  return a.data_ == b.data_;
}

void Container::setValue(int32_t id, HostValue value) {
  for (auto& [key, v] : entries_) {
    if (key == id) {
      v = std::move(value);
      return;
    }
  }
  entries_.emplace_back(id, std::move(value));
}

const HostValue* Container::getValue(int32_t id) const {
  for (const auto& [key, v] : entries_)
    if (key == id) return &v;
  return nullptr;
}

int32_t Container::getInt32(int32_t id, int32_t preset) const {
  const HostValue* v = getValue(id);
  return v && v->type() == kValueInteger ? v->getInt32() : preset;
}

bool Container::getBool(int32_t id, bool preset) const {
  const HostValue* v = getValue(id);
  return v && v->type() == kValueInteger ? v->getInt32() != 0 : preset;
}

double Container::getReal(int32_t id, double preset) const {
  const HostValue* v = getValue(id);
  return v && v->type() == kValueReal ? v->getReal() : preset;
}

Vector Container::getVector(int32_t id, Vector preset) const {
  const HostValue* v = getValue(id);
  return v && v->type() == kValueVector ? v->getVector() : preset;
}

String Container::getString(int32_t id, const String& preset) const {
  const HostValue* v = getValue(id);
  return v && v->type() == kValueString ? v->getString() : preset;
}

Filename Container::getFilename(int32_t id, const Filename& preset) const {
  const HostValue* v = getValue(id);
  return v && v->type() == kValueFilename ? v->getFilename() : preset;
}

bool Container::remove(int32_t id) {
  for (auto it = entries_.begin(); it != entries_.end(); ++it) {
    if (it->first == id) {
      entries_.erase(it);
      return true;
    }
  }
  return false;
}

}  // namespace host
