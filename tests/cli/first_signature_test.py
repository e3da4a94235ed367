"""python3 first_signature_test.py CORVANEPDF FIXTURES_DIR README: the README's
"Sign your first file" commands, word for word, each on a terminal of its own
in a fresh HOME holding mine.p12 (with a password), company-ca.pem and
report.pdf; every one must exit 0, the last being verify."""
import os
import pty
import re
import select
import shutil
import subprocess
import sys
import tempfile

CLI, FIXTURES, README = sys.argv[1:4]
PASSWORD = "correct horse"


def section_commands():
    text = open(README, encoding="utf-8").read()
    section = text.split("## Sign your first file", 1)[1].split("\n## ", 1)[0]
    block = re.search(r"```sh\n(.*?)```", section, re.S).group(1)
    return [line for line in block.splitlines() if line.strip()]


def make_user_files(home):
    def openssl(*args):
        subprocess.run(["openssl", *args], cwd=home, check=True, capture_output=True)
    openssl("req", "-x509", "-newkey", "rsa:2048", "-nodes", "-keyout", "ca.key", "-out", "company-ca.pem",
            "-days", "30", "-subj", "/O=Example Company/CN=Example Company CA",
            "-addext", "basicConstraints=critical,CA:TRUE", "-addext", "keyUsage=critical,keyCertSign,cRLSign")
    openssl("req", "-newkey", "rsa:2048", "-nodes", "-keyout", "me.key", "-out", "me.csr",
            "-subj", "/O=Example Company/CN=Alice Martin/emailAddress=alice@example.test")
    with open(os.path.join(home, "me.ext"), "w") as ext:
        ext.write("basicConstraints=CA:FALSE\nkeyUsage=critical,digitalSignature,nonRepudiation\n"
                  "extendedKeyUsage=emailProtection\nsubjectAltName=email:alice@example.test\n")
    openssl("x509", "-req", "-in", "me.csr", "-CA", "company-ca.pem", "-CAkey", "ca.key", "-CAcreateserial",
            "-days", "30", "-extfile", "me.ext", "-out", "me.pem")
    openssl("pkcs12", "-export", "-inkey", "me.key", "-in", "me.pem", "-name", "Alice Martin",
            "-passout", "pass:" + PASSWORD, "-out", "mine.p12")
    for name in ("ca.key", "me.key", "me.csr", "me.ext", "me.pem"):
        os.remove(os.path.join(home, name))
    shutil.copy(os.path.join(FIXTURES, "pdf", "plain.pdf"), os.path.join(home, "report.pdf"))


def run_on_terminal(command, cwd, env):
    """(exit status, screen) of `command` in bash on a new terminal, a password question answered."""
    pid, terminal = pty.fork()
    if pid == 0:
        os.chdir(cwd)
        os.execvpe("bash", ["bash", "-c", command], env)
    screen, answered = b"", False
    while select.select([terminal], [], [], 60)[0]:  # a minute of silence: stuck, killed
        try:
            chunk = os.read(terminal, 4096)
        except OSError:
            break
        if not chunk:
            break
        screen += chunk
        if not answered and b"assword" in screen:
            os.write(terminal, (PASSWORD + "\n").encode())
            answered = True
    else:
        os.kill(pid, 9)
    _, status = os.waitpid(pid, 0)
    os.close(terminal)
    return os.waitstatus_to_exitcode(status), screen.decode("utf-8", "replace")


def main():
    with tempfile.TemporaryDirectory(prefix="corvanepdf-first-hour-") as home:
        make_user_files(home)
        env = {"PATH": os.path.dirname(os.path.abspath(CLI)) + ":" + os.environ["PATH"], "HOME": home,
               "LANG": "C.UTF-8", "TERM": "dumb",
               # The machine hive is a scratch one: a run as root never touches /etc.
               "CORVANE_HKLM": os.path.join(home, "machine.reg")}
        commands = section_commands()
        assert [c.split()[1] for c in commands] == ["import", "certificates", "sign", "trust", "verify"], commands
        for command in commands:
            code, screen = run_on_terminal(command, home, env)
            print("$ " + command + "\n" + screen)
            if code != 0:
                sys.exit("FAIL: exit status %d of: %s" % (code, command))
        assert "Every signature is valid" in screen and "Certificate: trusted" in screen, screen
    print("the README's first signature works word for word")


if __name__ == "__main__":
    main()
