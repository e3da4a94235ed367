// Object creation by ProgID and by class identifier through one table, in
// place of the operating system's class registry. Every outside object the
// component uses (the PDF engine, the logging component, the certificate
// store objects, ...) is created here, so a test can remove or replace an
// entry to simulate a component that is not registered or that fails.
#pragma once

#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <string_view>
#include <vector>

#include "platform/automation.h"

namespace corvane::platform {

using ObjectCreator = std::function<std::shared_ptr<AutomationObject>()>;

class ObjectFactory {
 public:
  // The process-wide table. It is filled by the subsystems' register
  // functions; all members are safe to call from several threads.
  static ObjectFactory& instance();

  // Adds or replaces a class known by a ProgID and a class identifier
  // ("{XXXXXXXX-...}"); either name may be empty. Names compare without
  // regard to case.
  void register_class(std::string prog_id, std::string class_id, ObjectCreator creator);

  // Creates an object by ProgID or class identifier. Returns nullptr and
  // fills `error` (when given) when the name is not registered, the creator
  // throws, or it returns nullptr.
  [[nodiscard]] std::shared_ptr<AutomationObject> create(std::string_view name,
                                                         std::string* error = nullptr) const;

  // Test hook: while the returned guard lives, `name` (either of a class's
  // names) creates through `creator`; a null creator makes the class look
  // unregistered. The old entry comes back when the guard is destroyed.
  class Override {
   public:
    Override(Override&& other) noexcept;
    Override& operator=(Override&&) = delete;
    ~Override();

   private:
    friend class ObjectFactory;
    Override(ObjectFactory* factory, std::size_t index, ObjectCreator previous);
    ObjectFactory* factory_;
    std::size_t index_;
    ObjectCreator previous_;
  };
  [[nodiscard]] Override override_class(std::string_view name, ObjectCreator creator);

 private:
  struct Entry {
    std::string prog_id;
    std::string class_id;
    ObjectCreator creator;
  };
  ObjectFactory();
  [[nodiscard]] long find_locked(std::string_view name) const;

  mutable std::mutex mutex_;
  std::vector<Entry> entries_;
};

// Creates an object and casts it to the early-bound interface T; nullptr when
// creation fails or the object is of another kind.
template <class T>
[[nodiscard]] std::shared_ptr<T> create_as(std::string_view name, std::string* error = nullptr) {
  auto object = std::dynamic_pointer_cast<T>(ObjectFactory::instance().create(name, error));
  if (!object && error && error->empty()) *error = "the object does not offer the expected interface";
  return object;
}

}  // namespace corvane::platform
