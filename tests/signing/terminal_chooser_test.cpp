#include "signing/terminal_chooser.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>

#include "signing/priv_key_form.h"
#include "signing/sign_content.h"
#include "tests/signing/signing_test_support.h"
#include "tests/support/test_support.h"

namespace corvane::signing {
namespace {

struct Session { std::string output, result; };

// Runs the terminal form with `input` as the user's typing.
Session run_terminal(SignerState& state, const std::string& input) {
  std::FILE* in = ::fmemopen(const_cast<char*>(input.data()), input.size(), "r");
  char* buffer = nullptr;
  std::size_t size = 0;
  std::FILE* out = ::open_memstream(&buffer, &size);
  Session session;
  {
    TerminalChooserView view(in, out);
    session.result = run_chooser(state, view);
  }
  std::fclose(in);
  std::fclose(out);
  session.output.assign(buffer, size);
  std::free(buffer);
  return session;
}

TEST(TerminalChooser, TypedAnswersDriveTheForm) {
  register_signing_classes();
  const std::string dana = test::unique_container_of("Dana Signer");
  const struct {
    const char* input;
    std::string container;       // SignerState.containerName afterwards
    std::vector<std::string> shown;  // texts the output must hold
    bool chosen_before = false;      // containerName holds `container` when the form opens
  } cases[] = {
      // Without a choice the first certificate is selected and shown; Enter chooses it (first: later
      // cases save choices).
      {"\n", test::unique_container_of("Alex Signer"),
       {"> 1  Fixture Test CA  Alex Renewed", "Unique Container:  " + test::unique_container_of("Alex Signer")}},
      // "v" shows an entry's certificate (none for entry 0), without key lines for one without a key.
      {"9\nv 0\nv 5\nv 4\n5\nc\n", dana,
       {"  #  Issuer", "  5  Fixture Test CA  Dana Signer", "No entry 9.", "\nDana Signer\n",
        "Subject              E=dana@example.test,CN=Dana Signer,O=Fixture Org", "Unique Container     " + dana,
        "Provider Type        RSA_FULL", "Private Key          No\n\nNumber: select", "Unique Container:  " + dana,
        "Provider Type:     RSA_FULL"}},
      {"4\nc\n", "", {"No Private Key!: This certificate has no private key!"}},
      {"5\nq\n", "", {"Accessible:        True"}},
      {"5\n", "", {"Provider Name:     NSS Certificate DB"}},  // end of input closes
      // The current choice is marked and selected; Enter chooses it, Escape closes.
      {"\n", dana, {"* 5  Fixture Test CA  Dana Signer", "Unique Container:  " + dana}, true},
      {"2\n\x1b\n", dana, {"Unique Container:  " + test::unique_container_of("Alex Signer")}, true},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.input);
    SignerState state;
    if (c.chosen_before) state.containerName = c.container;
    const Session session = run_terminal(state, c.input);
    EXPECT_EQ(session.result, "");
    EXPECT_EQ(state.containerName, c.container);
    for (const std::string& text : c.shown)
      EXPECT_NE(session.output.find(text), std::string::npos) << text << "\n--- output:\n" << session.output;
  }
}

// Without a display and a controlling terminal (a child in a session of its own) the chooser cannot show;
// signContent answers with the reason.
TEST(ShowChooser, WithoutDisplayOrTerminalSigningGivesTheReason) {
  EXPECT_TRUE(test::in_child([] {
    ::setsid();
    ::unsetenv("DISPLAY");
    ::unsetenv("WAYLAND_DISPLAY");
    register_signing_classes();
    SignerState state;
    state.signerName = "unchanged";
    const std::string result = signContent(state, "x");
    std::fprintf(stderr, "signContent: %s\n", result.c_str());
    return result == "No display or terminal is available to choose a certificate; set UniqueContainerName with "
                     "'corvanepdf settings set'" && state.signerName == "unchanged";
  }));
}

}  // namespace
}  // namespace corvane::signing
