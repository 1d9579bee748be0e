// tgcrypt: encrypts and decrypts Kaleon containers (and the `openssl enc` salted format),
// streaming, without ever letting unverified plaintext out.

#include "container/decryptor.h"
#include "container/encryptor.h"
#include "container/openssl_cryptor.h"
#include "core/file.h"
#include "core/text.h"

#include "command_line.h"

#include <CLI/CLI.hpp>
#include <cerrno>
#include <charconv>
#include <condition_variable>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <latch>
#include <mutex>
#include <sys/sendfile.h>
#include <sys/stat.h>
#include <unistd.h>

using namespace kaleon;
using namespace kaleon::container;

namespace {

constexpr const char* kDescription = R"(Encrypts and decrypts data in the Kaleon container format (version 3; versions 2
and 3 are read) or in the salted format of `openssl enc` (AES-CBC, key and IV from
MD5, no HMAC). Data streams from --in (or standard input) to --out (or standard
output) in bounded memory.

Decryption never lets unverified plaintext out: with --out FILE it writes a
temporary file beside FILE and renames it only once the HMAC has been verified; to
standard output, or to an --out that is a pipe or a device, it holds the plaintext
back until then (in memory, then in a temporary file). Output to /dev/null is not
held back: decrypting to it checks a container at full speed.)";

constexpr const char* kExamples = R"(
Examples:
  tgcrypt encrypt --password-file pw.txt --in shape.svg --out shape.tgshape
  tgcrypt decrypt --password-env SHAPE_PASSWORD --in shape.tgshape > shape.svg
  tgcrypt decrypt --password-file pw.txt --in backup.tgc > /dev/null && echo intact
  tgcrypt encrypt --format openssl --password-file pw.txt --in notes.txt --out notes.enc
      (openssl enc -d -aes-256-cbc -md md5 -pass file:pw.txt -in notes.enc reads it)
  tgcrypt encrypt --key 00112233...(64 hex digits) --hmac-key 4455... --in data --out data.tgc

Exit status: 0 on success; 1 on any error, after one line naming the error and its code;
2 for a mistake on the command line.
)";

// Input is read, and handed to the cryptor, in pieces of this size.
constexpr size_t kChunkSize = 1024 * 1024;
// Chunks that may wait on the worker queue before the reader of the input waits for it.
constexpr size_t kChunksInFlight = 4;
constexpr size_t kSpillCopySize = 1024 * 1024;
// Plaintext held back in memory (for standard output) before it spills into a temporary file.
constexpr size_t kMemoryHoldLimit = 8 * 1024 * 1024;
constexpr std::uint64_t kProgressThreshold = 4 * 1024 * 1024;

struct Options {
    std::string mode;
    std::string format = "v3";
    size_t keySize = 32;
    std::string passwordFile;
    std::string passwordEnv;
    std::optional<std::string> password;
    std::string keyHex;
    std::string HMACKeyHex;
    std::string IVHex;
    std::string saltHex;
    std::string HMACSaltHex;
    std::string input;
    std::string output;
};

std::string describe(const Error& error)
{
    std::string description = error.message;
    if (description.empty()) {
        switch (error.code) {
        case kTGCryptorParamError:
            description = "Parameter error: a key, IV or setting the cipher does not take";
            break;
        case kTGCryptorAlignmentError:
            description = "Alignment error: the data is not a whole number of cipher blocks";
            break;
        case kTGCryptorDecodeError:
            description = "Decode error: the padding does not verify (wrong password or key, or damaged data)";
            break;
        case kTGCryptorRNGFailure:
            description = "No random bytes to be had";
            break;
        case kTGCryptorUnimplemented:
            description = "Not implemented";
            break;
        default:
            description = "Cipher error";
        }
    }
    return description + " (code " + std::to_string(error.code) + ")";
}

// A failure that ends the run: printed as one line, exit status 1.
Error failure(std::string message)
{
    return Error { "tgcrypt", 1, std::move(message) };
}

// Options that cannot be used together or hold what no container can: status 2, as every
// mistake on the command line.
constexpr int kMistake = 2;
Error mistake(std::string message)
{
    return Error { "tgcrypt", kMistake, std::move(message) };
}

template<class T>
Result<std::shared_ptr<TGCryptor>> widened(Result<std::shared_ptr<T>> made)
{
    if (!made)
        return Error { "tgcrypt", 1, describe(made.error()) };
    return std::shared_ptr<TGCryptor>(std::move(*made));
}

Result<Bytes> parseHex(const std::string& text, const char* what)
{
    if (text.size() % 2 != 0)
        return mistake(std::string(what) + " must be an even number of hex digits");
    auto bytes = parseHexBytes(text);
    if (!bytes)
        return mistake(std::string(what) + " must be hex digits only");
    return std::move(*bytes);
}

// A value the containers store in a fixed number of bytes: any other length would make a
// container that cannot be read back (or reads back wrong).
Result<Bytes> parseHex(const std::string& text, const char* what, size_t size)
{
    auto bytes = parseHex(text, what);
    if (bytes && bytes->size() != size)
        return mistake(std::string(what) + " must be " + std::to_string(size) + " bytes (" + std::to_string(2 * size)
            + " hex digits), not " + std::to_string(bytes->size()));
    return bytes;
}

// The first line of the file, without its line ending, as `openssl -pass file:` reads it.
Result<std::string> passwordFromFile(const std::string& path)
{
    std::error_code error;
    if (std::filesystem::is_directory(path, error))
        return failure("cannot read the password file " + path + ": it is a folder");
    std::ifstream file(path, std::ios::binary);
    if (!file)
        return failure("cannot read the password file " + path + ": " + std::strerror(errno));
    std::string line;
    std::getline(file, line);
    if (file.bad())
        return failure("cannot read the password file " + path + ": " + std::strerror(errno));
    return line;
}

// Writes all of `data` to `descriptor`; false (with errno) if it cannot.
bool writeAll(int descriptor, const std::uint8_t* data, size_t size)
{
    while (size > 0) {
        const ssize_t written = ::write(descriptor, data, size);
        if (written < 0 && errno == EINTR)
            continue;
        if (written <= 0)
            return false;
        data += written;
        size -= static_cast<size_t>(written);
    }
    return true;
}

// Whether `descriptor` is the null device, where output is never seen by anyone.
bool isNullDevice(int descriptor)
{
    struct stat output {
    }, null {};
    return ::fstat(descriptor, &output) == 0 && S_ISCHR(output.st_mode) && ::stat("/dev/null", &null) == 0
        && output.st_rdev == null.st_rdev;
}

// Where the output goes. A regular file (or a new one) is written beside and renamed into
// place once everything has gone well. Standard output, or an --out that is a pipe, a terminal
// or a device, is written directly: with `holdBack` (decryption) nothing reaches it before
// `commit`, so a reader never sees plaintext that has not been verified. The null device takes
// output that nobody can see, so it is not held back at all.
class Sink {
public:
    Sink(std::string destination, bool holdBack)
        : m_destination(std::move(destination))
        , m_holdBack(holdBack)
    {
    }
    ~Sink() { discard(); }
    Sink(const Sink&) = delete;
    Sink& operator=(const Sink&) = delete;

    Result<void> open()
    {
        std::error_code error;
        const auto type = std::filesystem::status(m_destination, error).type();
        if (!m_destination.empty()
            && (type == std::filesystem::file_type::not_found || type == std::filesystem::file_type::regular)) {
            auto file = AtomicFile::create(m_destination);
            if (!file)
                return failure(file.error().message);
            m_replacement = std::move(*file);
            m_holdBack = false;
            return {};
        }
        if (!m_destination.empty()) {
            m_descriptor = ::open(m_destination.c_str(), O_WRONLY | O_CLOEXEC);
            if (m_descriptor < 0)
                return failure("cannot open " + m_destination + ": " + std::strerror(errno));
            m_ownsDescriptor = true;
        }
        if (isNullDevice(m_descriptor))
            m_discarding = true;
        return {};
    }

    void write(const Bytes& data)
    {
        if (data.empty() || m_failure || m_discarding)
            return;
        if (m_holdBack && m_spill < 0) {
            m_held.insert(m_held.end(), data.begin(), data.end());
            if (m_held.size() <= kMemoryHoldLimit)
                return;
            m_spillFile = std::tmpfile();
            if (!m_spillFile) {
                m_failure = std::string("cannot hold the output back: ") + std::strerror(errno);
                return;
            }
            m_spill = ::fileno(m_spillFile);
            const Bytes held = std::exchange(m_held, Bytes());
            writeOut(held);
            return;
        }
        writeOut(data);
    }

    Result<void> commit()
    {
        if (m_failure)
            return failure(*m_failure);
        if (m_replacement) {
            if (auto committed = m_replacement->commit(); !committed)
                return failure(committed.error().message);
            m_replacement.reset();
            return {};
        }
        if (m_discarding)
            return {};
        if (m_spill >= 0) {
            if (auto copied = copySpill(); !copied)
                return copied;
        } else if (!writeAll(m_descriptor, m_held.data(), m_held.size())) {
            return failure(std::string("cannot write the output: ") + std::strerror(errno));
        }
        return {};
    }

    void discard()
    {
        if (m_spillFile)
            std::fclose(m_spillFile);
        m_spillFile = nullptr;
        m_spill = -1;
        if (m_ownsDescriptor)
            ::close(m_descriptor);
        m_ownsDescriptor = false;
        m_replacement.reset();
        m_held.clear();
    }

private:
    void writeOut(const Bytes& data)
    {
        if (m_replacement) {
            if (auto written = m_replacement->write(data); !written)
                m_failure = written.error().message;
        } else if (!writeAll(m_spill >= 0 ? m_spill : m_descriptor, data.data(), data.size())) {
            m_failure = std::string(m_spill >= 0 ? "cannot hold the output back: " : "cannot write the output: ")
                + std::strerror(errno);
        }
    }

    // The held-back output, from its temporary file to the destination: in the kernel where
    // it can, through a buffer where it cannot.
    Result<void> copySpill()
    {
        off_t offset = 0;
        for (;;) {
            const ssize_t sent = ::sendfile(m_descriptor, m_spill, &offset, kSpillCopySize);
            if (sent > 0 || (sent < 0 && errno == EINTR))
                continue;
            if (sent == 0)
                return {};
            if (errno != EINVAL && errno != ENOSYS)
                return failure(std::string("cannot write the output: ") + std::strerror(errno));
            break;
        }
        std::vector<std::uint8_t> buffer(kSpillCopySize);
        for (;;) {
            const ssize_t n = ::pread(m_spill, buffer.data(), buffer.size(), offset);
            if (n < 0 && errno == EINTR)
                continue;
            if (n < 0)
                return failure(std::string("cannot read the held-back output: ") + std::strerror(errno));
            if (n == 0)
                return {};
            if (!writeAll(m_descriptor, buffer.data(), static_cast<size_t>(n)))
                return failure(std::string("cannot write the output: ") + std::strerror(errno));
            offset += n;
        }
    }

    std::string m_destination;
    bool m_holdBack;
    bool m_discarding = false;
    std::unique_ptr<AtomicFile> m_replacement;
    int m_descriptor = STDOUT_FILENO;
    bool m_ownsDescriptor = false;
    std::FILE* m_spillFile = nullptr;
    int m_spill = -1;
    Bytes m_held;
    std::optional<std::string> m_failure;
};

class Progress {
public:
    explicit Progress(std::uint64_t total)
        : m_total(total)
        , m_shown(total > kProgressThreshold && ::isatty(STDERR_FILENO))
    {
    }
    ~Progress()
    {
        if (m_shown)
            std::fputs("\r\033[K", stderr);
    }
    Progress(const Progress&) = delete;
    Progress& operator=(const Progress&) = delete;

    void advance(std::uint64_t done)
    {
        if (!m_shown)
            return;
        const int percent = static_cast<int>(done * 100 / m_total);
        if (percent == m_percent)
            return;
        m_percent = percent;
        const std::string bar(static_cast<size_t>(percent / 4), '#');
        std::fprintf(stderr, "\r[%-25s] %3d%%", bar.c_str(), percent);
        std::fflush(stderr);
    }

private:
    std::uint64_t m_total;
    bool m_shown;
    int m_percent = -1;
};

Result<std::string> password(const Options& options)
{
    if (!options.passwordFile.empty())
        return passwordFromFile(options.passwordFile);
    if (!options.passwordEnv.empty()) {
        const char* value = std::getenv(options.passwordEnv.c_str());
        if (!value)
            return failure("the environment variable " + options.passwordEnv + " is not set");
        return std::string(value);
    }
    return *options.password;
}

Result<std::shared_ptr<TGCryptor>> makeKeyCryptor(
    const Options& options, const TGCryptorSettings& settings, const TGCryptor::Handler& handler)
{
    const bool encrypt = options.mode == "encrypt";
    const auto key = parseHex(options.keyHex, "--key");
    if (!key)
        return key.error();
    std::optional<Bytes> HMACKey;
    if (!options.HMACKeyHex.empty()) {
        auto parsed = parseHex(options.HMACKeyHex, "--hmac-key");
        if (!parsed)
            return parsed.error();
        HMACKey = std::move(*parsed);
    }
    const auto hmac = HMACKey ? std::optional<ByteView>(*HMACKey) : std::nullopt;
    std::optional<Bytes> IV;
    if (!options.IVHex.empty()) {
        auto parsed = parseHex(options.IVHex, "--iv", settings.IVSize);
        if (!parsed)
            return parsed.error();
        IV = std::move(*parsed);
    }
    if (options.format == "openssl") {
        if (HMACKey)
            return mistake("the openssl format has no HMAC: leave out --hmac-key");
        if (!IV)
            return mistake("the openssl format with --key needs --iv");
        if (encrypt)
            return widened(TGOpenSSLEncryptor::makeWithKey(settings, *key, *IV, handler));
        return widened(TGOpenSSLDecryptor::makeWithKey(settings, *key, *IV, handler));
    }
    if (!encrypt) {
        auto reader = TGDecryptor::makeWithEncryptionKey(*key, hmac, handler);
        reader->setSettings(settings);
        return std::shared_ptr<TGCryptor>(reader);
    }
    if (IV)
        return widened(TGEncryptor::makeWithKeys(settings, *key, hmac, *IV, handler));
    return widened(TGEncryptor::makeWithKeys(settings, *key, hmac, handler));
}

Result<std::shared_ptr<TGCryptor>> makeCryptor(const Options& options, const TGCryptor::Handler& handler)
{
    const bool encrypt = options.mode == "encrypt";
    TGCryptorSettings settings = kTGCryptorDefaultSettings;
    settings.keySettings.keySize = options.keySize;

    const int sources = !options.passwordFile.empty() + !options.passwordEnv.empty() + options.password.has_value()
        + !options.keyHex.empty();
    if (sources != 1)
        return mistake("give exactly one of --password-file, --password-env, --password and --key");
    if (!options.keyHex.empty())
        return makeKeyCryptor(options, settings, handler);

    const auto secret = password(options);
    if (!secret)
        return secret.error();
    // Existing containers made with an empty password still open; no new ones are made.
    if (encrypt && secret->empty())
        return mistake("the password is empty: encryption needs one");
    if (options.format == "openssl") {
        if (options.keySize == 24)
            return mistake("the openssl format derives 16- or 32-byte keys only: use --key-size 16 or 32");
        if (!encrypt)
            return std::shared_ptr<TGCryptor>(TGOpenSSLDecryptor::makeWithPassword(settings, *secret, handler));
        if (options.saltHex.empty())
            return widened(TGOpenSSLEncryptor::makeWithPassword(settings, *secret, handler));
        const auto salt = parseHex(options.saltHex, "--salt", settings.keySettings.saltSize);
        if (!salt)
            return salt.error();
        return widened(TGOpenSSLEncryptor::makeWithPassword(settings, *secret, *salt, handler));
    }
    if (!encrypt) {
        auto reader = TGDecryptor::makeWithPassword(*secret, handler);
        reader->setSettings(settings);
        return std::shared_ptr<TGCryptor>(reader);
    }
    if (options.saltHex.empty() && options.HMACSaltHex.empty() && options.IVHex.empty())
        return widened(TGEncryptor::makeWithPassword(settings, *secret, handler));
    if (options.saltHex.empty() || options.HMACSaltHex.empty() || options.IVHex.empty())
        return mistake("reproducible output needs all of --salt, --hmac-salt and --iv");
    const auto IV = parseHex(options.IVHex, "--iv", settings.IVSize);
    const auto salt = parseHex(options.saltHex, "--salt", settings.keySettings.saltSize);
    const auto HMACSalt = parseHex(options.HMACSaltHex, "--hmac-salt", settings.HMACKeySettings.saltSize);
    if (!IV || !salt || !HMACSalt)
        return !IV ? IV.error() : !salt ? salt.error() : HMACSalt.error();
    return widened(TGEncryptor::makeWithPassword(settings, *secret, *IV, *salt, *HMACSalt, handler));
}

Result<void> run(const Options& options)
{
    std::FILE* input = stdin;
    std::uint64_t inputSize = 0;
    if (!options.input.empty()) {
        input = std::fopen(options.input.c_str(), "rb");
        if (!input)
            return failure("cannot open " + options.input + ": " + std::strerror(errno));
        struct stat status { };
        if (::fstat(::fileno(input), &status) == 0 && S_ISREG(status.st_mode))
            inputSize = static_cast<std::uint64_t>(status.st_size);
    }
    const auto closeInput = [&] {
        if (input != stdin)
            std::fclose(input);
    };

    Sink sink(options.output, options.mode == "decrypt");
    std::latch done(1);
    std::optional<Error> outcome;
    const auto cryptor = makeCryptor(options, [&](TGCryptor& c, const Bytes& data) {
        // Plaintext of a failed decryption must not reach the output: not even its last piece.
        if (!(c.isFinished() && c.error()))
            sink.write(data);
        if (c.isFinished()) {
            outcome = c.error();
            done.count_down();
        }
    });
    if (!cryptor) {
        closeInput();
        return cryptor.error();
    }
    if (auto opened = sink.open(); !opened) {
        closeInput();
        return opened.error();
    }

    Progress progress(inputSize);
    std::vector<std::uint8_t> buffer(kChunkSize);
    std::uint64_t read = 0;
    // Bounds the memory queued chunks hold: at most kChunksInFlight wait on the worker queue, and
    // the next is read while the worker is busy with them.
    std::mutex gate;
    std::condition_variable chunkDone;
    size_t chunksSent = 0;
    size_t chunksDone = 0;
    bool readFailed = false;
    while (!(*cryptor)->isFinished()) {
        const ssize_t n = ::read(::fileno(input), buffer.data(), buffer.size());
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0) {
            readFailed = n < 0;
            break;
        }
        (*cryptor)->addData(ByteView(buffer.data(), static_cast<size_t>(n)));
        read += static_cast<std::uint64_t>(n);
        progress.advance(read);
        ++chunksSent;
        (*cryptor)->queue()->async([&] {
            std::lock_guard lock(gate);
            ++chunksDone;
            chunkDone.notify_one();
        });
        std::unique_lock lock(gate);
        chunkDone.wait(lock, [&] { return chunksSent - chunksDone < kChunksInFlight; });
    }
    // Whatever the queue still holds refers to this frame.
    (*cryptor)->queue()->sync([] {});
    const int readErrno = errno;
    closeInput();
    if (readFailed)
        return failure("cannot read the input: " + std::string(std::strerror(readErrno)));
    (*cryptor)->finish();
    done.wait();
    if (outcome)
        return failure(describe(*outcome));
    return sink.commit();
}

} // namespace

int main(int argc, char** argv)
{
    failWritesPastTheFileSizeLimit();
    CLI::App app { kDescription, "tgcrypt" };
    setUpCommandLine(app);
    app.footer(kExamples);
    Options options;
    app.add_option("MODE", options.mode, "encrypt or decrypt")
        ->required()
        ->check(CLI::IsMember({ "encrypt", "decrypt" }));
    app.add_option("--format", options.format, "v3 (default) or openssl")->check(CLI::IsMember({ "v3", "openssl" }));
    app.add_option("--key-size", options.keySize, "Cipher key size in bytes: 16, 24 or 32 (default 32)")
        ->check(CLI::IsMember({ 16, 24, 32 }));
    app.add_option("--password-file", options.passwordFile, "Password: the file's first line, without its line ending")
        ->option_text("FILE");
    app.add_option("--password-env", options.passwordEnv, "Password: the value of an environment variable")
        ->option_text("VAR");
    app.add_option("--password", options.password, "Password given on the command line (visible to other users)")
        ->option_text("P");
    app.add_option("--key", options.keyHex, "Cipher key in hex, instead of a password")->option_text("HEX");
    app.add_option("--hmac-key", options.HMACKeyHex, "With --key: HMAC key in hex (v3); without it no HMAC")
        ->option_text("HEX");
    app.add_option("--iv", options.IVHex, "IV in hex (encryption; openssl format with --key: both ways)")
        ->option_text("HEX");
    app.add_option("--salt", options.saltHex, "Encryption-key salt in hex, for reproducible output")
        ->option_text("HEX");
    app.add_option("--hmac-salt", options.HMACSaltHex, "HMAC-key salt in hex, for reproducible output")
        ->option_text("HEX");
    app.add_option("--in", options.input, "Input file (default: standard input)")->option_text("FILE");
    app.add_option("--out", options.output, "Output file (default: standard output)")->option_text("FILE");

    try {
        app.parse(argc, argv);
    } catch (const CLI::ParseError& error) {
        const int status = app.exit(error);
        return status == 0 ? 0 : kMistake;
    }
    // An interrupted run leaves no partial output (nor unverified plaintext) behind.
    removeTemporaryFilesOnSignals();
    if (auto done = run(options); !done) {
        std::cerr << "tgcrypt: " << done.error().message << "\n";
        return done.error().code == kMistake ? kMistake : 1;
    }
    return 0;
}
