// The C++ interface (corvanepdf/edit.hpp) over the component's class.
#include "corvanepdf/edit.hpp"

#include <stdexcept>

#include "component/edit.h"
#include "component/register_classes.h"

namespace corvanepdf {

struct edit::impl {
  corvane::component::Edit object;
};

edit::edit() {
  corvane::component::register_component_classes();
  impl_ = std::make_unique<impl>();
}

edit::~edit() = default;
edit::edit(edit&&) noexcept = default;
edit& edit::operator=(edit&&) noexcept = default;

// A moved-from edit answers with neutral values and ignores changes.
#define CORVANEPDF_PROPERTY(type, name)                          \
  type edit::name() const { return impl_ ? impl_->object.name : type{}; } \
  void edit::name(const type& value) {                           \
    if (impl_) impl_->object.name = value;                       \
  }

bool edit::pdfeditloaded() const { return impl_ && impl_->object.pdfeditloaded; }
void edit::pdfeditloaded(bool value) {
  if (impl_) impl_->object.pdfeditloaded = value;
}
bool edit::appendmode() const { return impl_ && impl_->object.append_mode(); }
void edit::appendmode(bool value) {
  if (impl_) impl_->object.appendmode = value;
}
bool edit::pdfloaded() const { return impl_ && impl_->object.pdfloaded; }
void edit::pdfloaded(bool value) {
  if (impl_) impl_->object.pdfloaded = value;
}
CORVANEPDF_PROPERTY(std::string, pdfpath)
CORVANEPDF_PROPERTY(std::string, savepath)
CORVANEPDF_PROPERTY(std::string, pdfpasswd)
CORVANEPDF_PROPERTY(std::string, username)
CORVANEPDF_PROPERTY(std::string, reason)
CORVANEPDF_PROPERTY(std::string, dontencrypt)
CORVANEPDF_PROPERTY(std::string, containername)
CORVANEPDF_PROPERTY(std::string, pades)
CORVANEPDF_PROPERTY(std::string, tsaurl)
CORVANEPDF_PROPERTY(std::string, ltv)
CORVANEPDF_PROPERTY(std::string, certifylevel)
CORVANEPDF_PROPERTY(std::string, fieldname)
#undef CORVANEPDF_PROPERTY

bool edit::signit() { return impl_ && impl_->object.signit(); }
std::string edit::last_error() const { return impl_ ? impl_->object.lasterror : std::string(); }
CpdfErrorCode edit::last_error_code() const {
  return impl_ ? static_cast<CpdfErrorCode>(impl_->object.lasterrorcode) : CPDF_ERROR_NONE;
}
std::string edit::last_error_cause() const { return impl_ ? impl_->object.lasterrorcause : std::string(); }
std::vector<std::string> edit::fields_left_empty() const {
  return impl_ ? impl_->object.emptyfieldsleft : std::vector<std::string>();
}

std::vector<std::uint8_t> edit::string2byte(std::string& stringword) {
  if (!impl_) return std::vector<std::uint8_t>(1, 0);
  return impl_->object.string2byte(stringword);
}

std::string edit::sign(std::string& was) { return impl_ ? impl_->object.sign(was) : std::string(); }

void edit::choose_certificate() {
  if (impl_) impl_->object.choose_certificate();
}

std::string edit::GetUniversalTime() {
  if (!impl_) throw std::runtime_error("the object was moved away");
  try {
    return impl_->object.GetUniversalTime();
  } catch (const std::runtime_error&) {
    throw;
  } catch (const std::exception& e) {
    throw std::runtime_error(e.what());
  }
}

}  // namespace corvanepdf
