// Subcommands of the corvanepdf command line that live in files of their own.
#pragma once

namespace CLI {
class App;
}

namespace corvane::cli {

// Subcommands report failure by printing one line to stderr and throwing
// CLI::RuntimeError(exit code); main turns that into the exit status.

// `sign`, `sign-text`, `choose-certificate`, `time`, `string2byte`: the
// members of the class edit.
void add_edit_commands(CLI::App& app);
// `register`, `unregister`: the in-process server's registration.
void add_server_commands(CLI::App& app);

// `settings list | get NAME | set NAME VALUE [--dword] [--machine]`
void add_settings_command(CLI::App& app);
// `certificates`: the certificate store in the chooser's order.
void add_certificates_command(CLI::App& app);
// `verify FILE [--password PW]`: the signatures of a PDF.
void add_verify_command(CLI::App& app);
// `import FILE.p12 [--password-file F] [--select]`: a PKCS#12 file into the
// user's certificate store.
void add_import_command(CLI::App& app);
// `trust CA.pem|NICKNAME`: a certification authority trusted for signatures.
void add_trust_command(CLI::App& app);
// `timestamp IN.pdf -o OUT.pdf [--tsa URL] [--password PW]`: a document
// timestamp appended to a PDF.
void add_timestamp_command(CLI::App& app);
// `fields FILE [--password PW] [--json]` and `fields add FILE -o OUT --name
// NAME --page N --rect X1,Y1,X2,Y2 [--lock ...] ...`: a PDF's signature
// fields listed, or empty ones added.
void add_fields_command(CLI::App& app);

}  // namespace corvane::cli
