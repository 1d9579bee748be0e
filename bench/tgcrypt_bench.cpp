// Decrypting a large file (1 GiB; KALEON_BENCH_MIB sets another size) to /dev/null with
// tgcrypt, side by side in one run with `openssl enc -d -aes-256-cbc -md md5` on the same
// OpenSSL-format file, and tgcrypt on the same plaintext in the Kaleon format (whose HMAC-SHA256
// pass openssl has no counterpart for). The Kaleon format's floor is timed beside it: openssl
// decrypting the same number of bytes with a bare AES-256-CBC key, then hashing the Kaleon file
// with HMAC-SHA256, the two passes it cannot do without. Whole processes are timed; each run's
// peak resident memory is reported. KALEON_TGCRYPT names another tgcrypt to time (an older
// build, say).

#include <benchmark/benchmark.h>
#include <cstdint>
#include <cstdlib>
#include <fcntl.h>
#include <filesystem>
#include <fstream>
#include <spawn.h>
#include <string>
#include <sys/resource.h>
#include <sys/wait.h>
#include <vector>

extern char** environ;

namespace {

struct Files {
    std::filesystem::path folder;
    std::string password;
    std::string openSSLFormat;
    std::string kaleonFormat;
};
Files g_files;

std::string tgcrypt()
{
    const char* other = std::getenv("KALEON_TGCRYPT");
    return other ? other : TGCRYPT_BINARY;
}

// Runs a command with standard output on /dev/null (standard error too, for openssl's note on
// its key derivation); its peak resident memory in MiB. Any failure ends the bench.
double run(std::vector<std::string> arguments, const std::string& output = "/dev/null")
{
    std::vector<char*> argv;
    argv.reserve(arguments.size() + 1);
    for (auto& argument : arguments)
        argv.push_back(argument.data());
    argv.push_back(nullptr);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 1, output.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
    posix_spawn_file_actions_addopen(&actions, 2, "/dev/null", O_WRONLY, 0);
    pid_t child = 0;
    const int failed = ::posix_spawnp(&child, argv[0], &actions, nullptr, argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    if (failed != 0) {
        std::fprintf(stderr, "cannot start %s\n", argv[0]);
        std::exit(1);
    }
    int status = 0;
    struct rusage usage { };
    ::wait4(child, &status, 0, &usage);
    if (!WIFEXITED(status) || WEXITSTATUS(status) != 0) {
        std::fprintf(stderr, "%s failed\n", argv[0]);
        std::exit(1);
    }
    return static_cast<double>(usage.ru_maxrss) / 1024.0;
}

void makeFiles()
{
    const char* mib = std::getenv("KALEON_BENCH_MIB");
    const size_t size = (mib ? std::strtoull(mib, nullptr, 10) : 1024) << 20;
    g_files.folder = std::filesystem::temp_directory_path() / ("kaleon-tgcrypt-bench-" + std::to_string(::getpid()));
    std::filesystem::create_directories(g_files.folder);
    g_files.password = (g_files.folder / "password").string();
    std::ofstream(g_files.password) << "bench password\n";
    const std::string plain = (g_files.folder / "plain").string();
    {
        // Incompressible, quickly made bytes (xorshift).
        std::ofstream out(plain, std::ios::binary);
        std::vector<std::uint64_t> block(1 << 17);
        std::uint64_t state = 0x9e3779b97f4a7c15;
        for (size_t written = 0; written < size; written += block.size() * 8) {
            for (auto& word : block) {
                state ^= state << 13;
                state ^= state >> 7;
                state ^= state << 17;
                word = state;
            }
            out.write(reinterpret_cast<const char*>(block.data()),
                static_cast<std::streamsize>(std::min(block.size() * 8, size - written)));
        }
    }
    g_files.openSSLFormat = (g_files.folder / "data.enc").string();
    g_files.kaleonFormat = (g_files.folder / "data.tgc").string();
    run({ "openssl", "enc", "-aes-256-cbc", "-md", "md5", "-pass", "file:" + g_files.password, "-in", plain, "-out",
        g_files.openSSLFormat });
    run({ tgcrypt(), "encrypt", "--password-file", g_files.password, "--in", plain, "--out", g_files.kaleonFormat });
    std::filesystem::remove(plain);
}

void timeRuns(benchmark::State& state, const std::vector<std::string>& arguments)
{
    double peak = 0;
    for (auto _ : state)
        peak = std::max(peak, run(arguments));
    state.counters["peak_MiB"] = peak;
    state.SetBytesProcessed(static_cast<int64_t>(
        state.iterations() * static_cast<int64_t>(std::filesystem::file_size(g_files.openSSLFormat))));
}

void BM_OpenSSLEncDecryptReference(benchmark::State& state)
{
    timeRuns(state,
        { "openssl", "enc", "-d", "-aes-256-cbc", "-md", "md5", "-pass", "file:" + g_files.password, "-in",
            g_files.openSSLFormat });
}
BENCHMARK(BM_OpenSSLEncDecryptReference)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(3);

void BM_TgcryptDecryptOpenSSLFormat(benchmark::State& state)
{
    timeRuns(state,
        { tgcrypt(), "decrypt", "--format", "openssl", "--password-file", g_files.password, "--in",
            g_files.openSSLFormat });
}
BENCHMARK(BM_TgcryptDecryptOpenSSLFormat)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(3);

void BM_TgcryptDecryptKaleonFormat(benchmark::State& state)
{
    timeRuns(state, { tgcrypt(), "decrypt", "--password-file", g_files.password, "--in", g_files.kaleonFormat });
}
BENCHMARK(BM_TgcryptDecryptKaleonFormat)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(3);

// The floor's two passes. The key and IV are arbitrary: the bytes decrypt to noise, which is
// all a timing needs. The OpenSSL-format file is a whole number of blocks with its header.
void BM_FloorAES256CBCDecrypt(benchmark::State& state)
{
    timeRuns(state,
        { "openssl", "enc", "-d", "-aes-256-cbc", "-nopad", "-K", std::string(64, '1'), "-iv", std::string(32, '2'),
            "-in", g_files.openSSLFormat });
}
BENCHMARK(BM_FloorAES256CBCDecrypt)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(3);

void BM_FloorHMACSHA256(benchmark::State& state)
{
    timeRuns(state, { "openssl", "dgst", "-sha256", "-hmac", "bench key", "-r", g_files.kaleonFormat });
}
BENCHMARK(BM_FloorHMACSHA256)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(3);

} // namespace

int main(int argc, char** argv)
{
    benchmark::Initialize(&argc, argv);
    makeFiles();
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    std::filesystem::remove_all(g_files.folder);
    return 0;
}
