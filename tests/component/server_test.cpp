// The in-process server through libcorvanepdf.so only: registration in scratch hives, creation by ProgID
// through the C interface, late-bound calls, reference counting and the C++ interface (a host written in
// plain C is built by the install test).
#include <dlfcn.h>
#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "corvanepdf/corvanepdf.h"
#include "corvanepdf/edit.hpp"
#include "platform/hives.h"
#include "tests/support/test_support.h"

namespace {

using corvane::platform::HiveRoot;
using corvane::test::ScopedEnv;
using corvane::test::ScratchDir;

const std::string kClsidKey = std::string("SOFTWARE\\Classes\\CLSID\\") + CPDF_CLSID_EDIT_TEXT;

std::string library_path() {
  Dl_info info{};
  dladdr(reinterpret_cast<void*>(&DllGetClassObject), &info);
  return std::filesystem::absolute(info.dli_fname).lexically_normal().string();
}

std::optional<std::string> read(HiveRoot root, const std::string& key, const std::string& name = "") {
  return corvane::platform::hive_read((root == HiveRoot::kMachine ? "HKLM\\" : "HKCU\\") + key + "\\" + name);
}

CpdfClassFactory* class_factory() {
  CpdfClassFactory* factory = nullptr;
  EXPECT_EQ(DllGetClassObject(&CPDF_CLSID_EDIT, &CPDF_IID_CLASSFACTORY, reinterpret_cast<void**>(&factory)), CPDF_S_OK);
  return factory;
}

// Both hives in a scratch folder.
class ServerTest : public ::testing::Test {
 protected:
  ScratchDir dir_{"server"};
  std::unique_ptr<ScopedEnv> machine_ = std::make_unique<ScopedEnv>("CORVANE_HKLM", (dir_ / "hklm.reg").string());
  ScopedEnv user_{"CORVANE_HKCU", (dir_ / "hkcu.reg").string()};
};

// Unregistration removes only its own keys: other classes and the settings in the same hive stay.
TEST_F(ServerTest, RegistrationGoesToTheMachineHiveWhenWritableElseToTheUserHive) {
  using corvane::platform::hive_write_text;
  ASSERT_TRUE(hive_write_text("HKLM\\SOFTWARE\\Classes\\CLSID\\{X}\\InprocServer32\\", "/x.so"));
  ASSERT_TRUE(hive_write_text("HKLM\\SOFTWARE\\Corvane\\pdf\\debug", "1"));
  for (const bool machine_writable : {true, false}) {
    SCOPED_TRACE(machine_writable ? "machine writable" : "machine read-only");
    if (!machine_writable) {  // a hive below a regular file cannot be written
      corvane::test::write_file(dir_ / "file", "");
      machine_.reset();  // restores the old value before the new one is set
      machine_ = std::make_unique<ScopedEnv>("CORVANE_HKLM", (dir_ / "file" / "hklm.reg").string());
    }
    const HiveRoot used = machine_writable ? HiveRoot::kMachine : HiveRoot::kUser;
    const HiveRoot other = machine_writable ? HiveRoot::kUser : HiveRoot::kMachine;

    ASSERT_EQ(DllRegisterServer(), CPDF_S_OK);
    EXPECT_EQ(read(used, "SOFTWARE\\Classes\\corvanepdf.edit\\CLSID"), CPDF_CLSID_EDIT_TEXT);
    EXPECT_EQ(read(used, kClsidKey + "\\InprocServer32"), library_path());
    EXPECT_EQ(read(used, kClsidKey + "\\InprocServer32", "ThreadingModel"), "Apartment");
    EXPECT_EQ(read(used, kClsidKey + "\\ProgID"), CPDF_PROGID_EDIT);
    EXPECT_EQ(read(used, kClsidKey + "\\TypeLib"), CPDF_LIBID_TEXT);
    EXPECT_EQ(read(other, kClsidKey + "\\InprocServer32"), std::nullopt);

    ASSERT_EQ(DllUnregisterServer(), CPDF_S_OK);
    EXPECT_EQ(read(used, "SOFTWARE\\Classes\\corvanepdf.edit\\CLSID"), std::nullopt);
    EXPECT_EQ(read(used, kClsidKey), std::nullopt);
    if (!machine_writable) continue;
    EXPECT_EQ(read(HiveRoot::kMachine, "SOFTWARE\\Classes\\CLSID\\{X}\\InprocServer32"), "/x.so");
    EXPECT_EQ(read(HiveRoot::kMachine, "SOFTWARE\\Corvane\\pdf", "debug"), "1");
  }
}

TEST_F(ServerTest, CreationByProgIdThroughTheRegistrationOrThisLibrary) {
  CpdfDispatch* object = nullptr;
  EXPECT_EQ(corvanepdf_create_object("corvanepdf.nothing", &object), CPDF_REGDB_E_CLASSNOTREG);
  EXPECT_EQ(object, nullptr);
  EXPECT_NE(std::string(corvanepdf_last_error()), "");

  // Linked against the library, its own class needs no registration.
  for (const bool registered : {false, true}) {
    if (registered) { ASSERT_EQ(DllRegisterServer(), CPDF_S_OK); }
    for (const char* name : {CPDF_PROGID_EDIT, "CorvanePDF.Edit", CPDF_CLSID_EDIT_TEXT}) {
      EXPECT_EQ(corvanepdf_create_object(name, &object), CPDF_S_OK) << name << " registered " << registered;
      EXPECT_EQ(corvanepdf_release(object), 0u);
    }
  }

  // A registration naming a library that is not there.
  ASSERT_TRUE(corvane::platform::hive_write_text(
      "HKCU\\" + kClsidKey + "\\InprocServer32\\", (dir_ / "missing.so").string()));
  ASSERT_TRUE(corvane::platform::hive_write_text(
      "HKCU\\SOFTWARE\\Classes\\corvanepdf.edit\\CLSID\\", CPDF_CLSID_EDIT_TEXT));
  EXPECT_EQ(corvanepdf_create_object(CPDF_PROGID_EDIT, &object), CPDF_E_FAIL);
  EXPECT_NE(std::string(corvanepdf_last_error()).find("missing.so"), std::string::npos);
}

TEST_F(ServerTest, LibraryCanUnloadOnlyAfterTheLastReleaseAndUnlock) {
  ASSERT_EQ(DllCanUnloadNow(), CPDF_S_OK);
  CpdfDispatch *first = nullptr, *second = nullptr;
  ASSERT_EQ(corvanepdf_create_object(CPDF_PROGID_EDIT, &first), CPDF_S_OK) << corvanepdf_last_error();
  ASSERT_EQ(corvanepdf_create_object(CPDF_PROGID_EDIT, &second), CPDF_S_OK);
  first->vtbl->AddRef(first);
  EXPECT_EQ(corvanepdf_release(first), 1u);
  EXPECT_EQ(DllCanUnloadNow(), CPDF_S_FALSE);
  EXPECT_EQ(corvanepdf_release(first), 0u);
  EXPECT_EQ(DllCanUnloadNow(), CPDF_S_FALSE);
  EXPECT_EQ(corvanepdf_release(second), 0u);
  EXPECT_EQ(DllCanUnloadNow(), CPDF_S_OK);

  // A lock keeps the library even without any object.
  CpdfClassFactory* factory = class_factory();
  factory->vtbl->LockServer(factory, 1);
  factory->vtbl->Release(factory);
  EXPECT_EQ(DllCanUnloadNow(), CPDF_S_FALSE);
  factory = class_factory();
  factory->vtbl->LockServer(factory, 0);
  factory->vtbl->Release(factory);
  EXPECT_EQ(DllCanUnloadNow(), CPDF_S_OK);
  corvanepdf_free_unused_libraries();
}

TEST(Server, ClassFactoryRefusesOtherClassesAndAggregation) {
  void* object = reinterpret_cast<void*>(1);
  const CpdfGuid other = {1, 2, 3, {4, 5, 6, 7, 8, 9, 10, 11}};
  EXPECT_EQ(DllGetClassObject(&other, &CPDF_IID_CLASSFACTORY, &object), CPDF_CLASS_E_CLASSNOTAVAILABLE);
  EXPECT_EQ(object, nullptr);
  EXPECT_EQ(DllGetClassObject(&CPDF_CLSID_EDIT, &CPDF_IID_DISPATCH, &object), CPDF_E_NOINTERFACE);

  CpdfClassFactory* factory = class_factory();
  ASSERT_NE(factory, nullptr);
  CpdfUnknown outer{};
  EXPECT_EQ(factory->vtbl->CreateInstance(factory, &outer, &CPDF_IID_DISPATCH, &object), CPDF_CLASS_E_NOAGGREGATION);

  CpdfDispatch* edit = nullptr;
  ASSERT_EQ(factory->vtbl->CreateInstance(factory, nullptr, &CPDF_IID_EDIT,
                                          reinterpret_cast<void**>(&edit)),
            CPDF_S_OK);
  factory->vtbl->Release(factory);
  const struct { const CpdfGuid* iid; CpdfResult want; } interfaces[] = {
      {&CPDF_IID_UNKNOWN, CPDF_S_OK}, {&CPDF_IID_DISPATCH, CPDF_S_OK},
      {&CPDF_IID_EDIT, CPDF_S_OK}, {&CPDF_IID_CLASSFACTORY, CPDF_E_NOINTERFACE}};
  for (const auto& i : interfaces) {
    void* other_interface = nullptr;
    EXPECT_EQ(edit->vtbl->QueryInterface(edit, i.iid, &other_interface), i.want);
    if (other_interface) corvanepdf_release(static_cast<CpdfDispatch*>(other_interface));
  }
  EXPECT_EQ(corvanepdf_release(edit), 0u);
}

// An edit object reached through the class factory directly, without a registration.
struct Edit {
  CpdfDispatch* object = nullptr;
  Edit() {
    CpdfClassFactory* factory = class_factory();
    factory->vtbl->CreateInstance(factory, nullptr, &CPDF_IID_DISPATCH, reinterpret_cast<void**>(&object));
    factory->vtbl->Release(factory);
  }
  ~Edit() { corvanepdf_release(object); }
};

struct Variant {
  CpdfVariant v;
  Variant() { corvanepdf_variant_init(&v); }
  ~Variant() { corvanepdf_variant_clear(&v); }
  std::string text() const { return v.vt == CPDF_VT_TEXT ? std::string(v.value.text.data) : "?"; }
};

TEST(Server, DispatchIdsFollowTheMemberTable) {
  Edit edit;
  const char* names[] = {"pdfeditloaded", "pdfpath",   "savepath",           "pdfloaded",
                         "pdfpasswd",     "username",  "reason",             "dontencrypt",
                         "signit",        "string2byte", "sign",             "choose_certificate",
                         "GetUniversalTime", "lasterror"};
  std::int32_t ids[14] = {};
  ASSERT_EQ(edit.object->vtbl->GetIDsOfNames(edit.object, names, 14, ids), CPDF_S_OK);
  for (int i = 0; i < 14; ++i) EXPECT_EQ(ids[i], i + 1) << names[i];

  const char* other_case[] = {"PDFPATH", "getuniversaltime", "ContainerName", "nosuch"};
  std::int32_t other_ids[4] = {};
  EXPECT_EQ(edit.object->vtbl->GetIDsOfNames(edit.object, other_case, 4, other_ids), CPDF_DISP_E_UNKNOWNNAME);
  EXPECT_EQ(std::vector<std::int32_t>(other_ids, other_ids + 4),
            (std::vector<std::int32_t>{CPDF_DISPID_PDFPATH, CPDF_DISPID_GETUNIVERSALTIME,
                                      CPDF_DISPID_CONTAINERNAME, -1}));
}

TEST(Server, PropertiesAndMethodsThroughTheCInterface) {
  Edit edit;
  Variant value, result;

  // Texts round-trip as UTF-8; Booleans come back as -1 / 0.
  corvanepdf_variant_set_text(&value.v, "/nonexistent/\xC3\xA9t\xC3\xA9.pdf");
  ASSERT_EQ(corvanepdf_put_property(edit.object, "pdfpath", &value.v), CPDF_S_OK);
  ASSERT_EQ(corvanepdf_get_property(edit.object, "pdfpath", &result.v), CPDF_S_OK);
  EXPECT_EQ(result.text(), "/nonexistent/\xC3\xA9t\xC3\xA9.pdf");
  // Why signit failed, as a number for the host to act on.
  ASSERT_EQ(corvanepdf_call_method(edit.object, "signit", nullptr, 0, &result.v), CPDF_S_OK);
  EXPECT_EQ(result.v.value.boolean, CPDF_FALSE);
  EXPECT_EQ(corvanepdf_last_error_code(edit.object), CPDF_ERROR_NO_SUCH_FILE);
  EXPECT_EQ(corvanepdf_last_error_code(nullptr), CPDF_ERROR_FAILED);
  corvanepdf_variant_set_int32(&value.v, 7);  // converted as automation does
  ASSERT_EQ(corvanepdf_put_property(edit.object, "pdfloaded", &value.v), CPDF_S_OK);
  ASSERT_EQ(corvanepdf_get_property(edit.object, "pdfloaded", &result.v), CPDF_S_OK);
  ASSERT_EQ(result.v.vt, CPDF_VT_BOOL);
  EXPECT_EQ(result.v.value.boolean, CPDF_TRUE);

  // string2byte takes its text by reference and leaves it unchanged (its bytes: the Python tests).
  corvanepdf_variant_set_text(&value.v, "AB");
  ASSERT_EQ(corvanepdf_call_method(edit.object, "string2byte", &value.v, 1, &result.v), CPDF_S_OK);
  EXPECT_EQ(value.text(), "AB");

  // The local time with its offset: "04.12.2026 14:05:07 +0100".
  ASSERT_EQ(corvanepdf_call_method(edit.object, "GetUniversalTime", nullptr, 0, &result.v), CPDF_S_OK);
  EXPECT_EQ(result.text().size(), 25u) << result.text();
}

TEST(Server, WrongCallsAreRefusedWithTheirCodes) {
  Edit edit;
  Variant value, result;
  corvanepdf_variant_set_text(&value.v, "maybe");
  const struct { const char* name; std::uint16_t kind; std::uint32_t arg_count; CpdfResult want; } cases[] = {
      {"pdfloaded", CPDF_DISPATCH_PROPERTYPUT, 1, CPDF_DISP_E_TYPEMISMATCH},
      {"pdfpath", CPDF_DISPATCH_PROPERTYPUT, 0, CPDF_DISP_E_BADPARAMCOUNT},
      {"pdfpath", CPDF_DISPATCH_PROPERTYGET, 1, CPDF_DISP_E_BADPARAMCOUNT},
      {"signit", CPDF_DISPATCH_PROPERTYPUT, 1, CPDF_DISP_E_MEMBERNOTFOUND},
      {"lasterror", CPDF_DISPATCH_PROPERTYPUT, 1, CPDF_DISP_E_MEMBERNOTFOUND},
      {"lasterror", CPDF_DISPATCH_PROPERTYGET, 0, CPDF_S_OK},
      {"lasterrorcode", CPDF_DISPATCH_PROPERTYPUT, 1, CPDF_DISP_E_MEMBERNOTFOUND},
      {"lasterrorcode", CPDF_DISPATCH_PROPERTYGET, 1, CPDF_DISP_E_BADPARAMCOUNT},
      {"string2byte", CPDF_DISPATCH_METHOD, 0, CPDF_DISP_E_BADPARAMCOUNT},
      {"sign", CPDF_DISPATCH_METHOD, 1, CPDF_S_OK},
  };
  for (const auto& c : cases) {
    std::int32_t id = -1;
    ASSERT_EQ(edit.object->vtbl->GetIDsOfNames(edit.object, &c.name, 1, &id), CPDF_S_OK) << c.name;
    EXPECT_EQ(edit.object->vtbl->Invoke(edit.object, id, c.kind, &value.v, c.arg_count, &result.v, nullptr), c.want)
        << c.name << " kind " << c.kind;
  }
  EXPECT_EQ(edit.object->vtbl->Invoke(edit.object, 99, CPDF_DISPATCH_METHOD, nullptr, 0,
                                      &result.v, nullptr),
            CPDF_DISP_E_MEMBERNOTFOUND);
}

TEST(PublicEdit, FreshObjectAndMovedFromObjectAnswerNeutrally) {
  corvanepdf::edit document;
  EXPECT_FALSE(document.pdfloaded());
  EXPECT_EQ(document.reason(), "I am the author of this document");
  std::string empty;
  EXPECT_EQ(document.string2byte(empty), std::vector<std::uint8_t>{0});  // one zero byte for ""
  EXPECT_FALSE(document.signit());  // no pdfpath
  EXPECT_EQ(document.last_error(), "no document to sign (pdfpath is empty)");

  corvanepdf::edit moved = std::move(document);
  moved.pdfpath("in.pdf");
  EXPECT_EQ(moved.pdfpath(), "in.pdf");
  document.pdfpath("ignored");  // NOLINT(bugprone-use-after-move): a moved-from object is inert
  EXPECT_EQ(document.pdfpath(), "");
  EXPECT_FALSE(document.signit());
  EXPECT_EQ(document.last_error(), "");
  EXPECT_THROW((void)document.GetUniversalTime(), std::runtime_error);
}

}  // namespace
