#include "platform/object_factory.h"

#include <strings.h>

#include <exception>

#include "platform/logme.h"

namespace corvane::platform {
namespace {

bool same_name(std::string_view a, std::string_view b) {
  return !a.empty() && a.size() == b.size() && strncasecmp(a.data(), b.data(), a.size()) == 0;
}

}  // namespace

ObjectFactory& ObjectFactory::instance() {
  static ObjectFactory factory;
  return factory;
}

// The platform's own classes are there from the start.
ObjectFactory::ObjectFactory() { register_logme(*this); }

long ObjectFactory::find_locked(std::string_view name) const {
  for (std::size_t i = 0; i < entries_.size(); ++i)
    if (same_name(entries_[i].prog_id, name) || same_name(entries_[i].class_id, name))
      return static_cast<long>(i);
  return -1;
}

void ObjectFactory::register_class(std::string prog_id, std::string class_id,
                                   ObjectCreator creator) {
  std::lock_guard lock(mutex_);
  long index = find_locked(prog_id);
  if (index < 0) index = find_locked(class_id);
  if (index >= 0) {
    entries_[index] = Entry{std::move(prog_id), std::move(class_id), std::move(creator)};
  } else {
    entries_.push_back(Entry{std::move(prog_id), std::move(class_id), std::move(creator)});
  }
}

std::shared_ptr<AutomationObject> ObjectFactory::create(std::string_view name,
                                                        std::string* error) const {
  ObjectCreator creator;
  {
    std::lock_guard lock(mutex_);
    const long index = find_locked(name);
    if (index >= 0) creator = entries_[index].creator;
  }
  if (!creator) {
    if (error) *error = "ActiveX component can't create object: " + std::string(name);
    return nullptr;
  }
  try {
    auto object = creator();
    if (!object && error) *error = "ActiveX component can't create object: " + std::string(name);
    return object;
  } catch (const std::exception& e) {
    if (error) *error = e.what();
  } catch (...) {
    if (error) *error = "ActiveX component can't create object: " + std::string(name);
  }
  return nullptr;
}

ObjectFactory::Override ObjectFactory::override_class(std::string_view name,
                                                      ObjectCreator creator) {
  std::lock_guard lock(mutex_);
  long index = find_locked(name);
  if (index < 0) {
    entries_.push_back(Entry{std::string(name), std::string(), nullptr});
    index = static_cast<long>(entries_.size() - 1);
  }
  ObjectCreator previous = std::move(entries_[index].creator);
  entries_[index].creator = std::move(creator);
  return Override(this, static_cast<std::size_t>(index), std::move(previous));
}

ObjectFactory::Override::Override(ObjectFactory* factory, std::size_t index,
                                  ObjectCreator previous)
    : factory_(factory), index_(index), previous_(std::move(previous)) {}

ObjectFactory::Override::Override(Override&& other) noexcept
    : factory_(other.factory_), index_(other.index_), previous_(std::move(other.previous_)) {
  other.factory_ = nullptr;
}

ObjectFactory::Override::~Override() {
  if (!factory_) return;
  std::lock_guard lock(factory_->mutex_);
  if (index_ < factory_->entries_.size()) factory_->entries_[index_].creator = std::move(previous_);
}

}  // namespace corvane::platform
