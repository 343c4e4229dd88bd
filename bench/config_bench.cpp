// Saving the device list and loading a large INI file.
#include <benchmark/benchmark.h>

#include <filesystem>
#include <fstream>
#include <random>

#include "LabelledMain.h"
#include "core/DeviceConfig.h"
#include "core/IniFile.h"

namespace {

std::string TempFile(const char* name) {
    const auto dir = std::filesystem::temp_directory_path() / "aktarim-bench";
    std::filesystem::create_directories(dir);
    return (dir / name).string();
}

void BM_Save256Devices(benchmark::State& state) {
    const std::string path = TempFile("save256.ini");
    std::filesystem::remove(path);
    aktarim::IniFile ini(path);
    const std::vector<std::string> row = {"Cihaz",         "Ethernet", "1", "Com1",     "115200",
                                          "192.168.1.201", "4370",     "",  "Standart", ""};
    for (auto _ : state)
        aktarim::SaveDevices(ini, 256, [&](int column, int) { return row[column]; });
}
BENCHMARK(BM_Save256Devices)->Unit(benchmark::kMillisecond);

void BM_Load50MbIni(benchmark::State& state) {
    const std::string path = TempFile("large.ini");
    if (!std::filesystem::exists(path) || std::filesystem::file_size(path) < 50'000'000) {
        std::ofstream out(path, std::ios::binary);
        std::mt19937 random(1);
        const std::string alphabet =
            "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
        std::string templateText(1700, 'A');
        for (int s = 0; s < 3000; ++s) {
            out << "[" << 10000 + s << "]\r\nisim=Personel " << s
                << "\r\nyetki=Normal\r\nkartno=\r\nsifre=\r\n";
            for (int f = 0; f < 10; ++f) {
                for (char& c : templateText) c = alphabet[random() % alphabet.size()];
                out << "parmakizi" << f << "=" << templateText << "\r\n";
            }
        }
    }
    state.counters["bytes"] = static_cast<double>(std::filesystem::file_size(path));
    for (auto _ : state) {
        aktarim::IniFile ini(path);
        benchmark::DoNotOptimize(ini.ReadString("12999", "parmakizi9", ""));
    }
}
BENCHMARK(BM_Load50MbIni)->Unit(benchmark::kMillisecond)->Iterations(3);

}  // namespace

AKTARIM_BENCHMARK_MAIN()
