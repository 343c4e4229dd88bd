// Any bytes as personel.ini: reading the list gives keys or the conversion
// error, never anything else; the keys it gives are what a rebuilt list
// gives back, and reading never changes the file. An in-memory file system
// keeps the disk out of the loop.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <vector>

#include "CrashingFileSystem.h"
#include "core/Errors.h"
#include "core/Text.h"
#include "personnel/PersonnelStore.h"

namespace {

void Check(bool condition) {
    if (!condition) std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string bytes(reinterpret_cast<const char*>(data), size);
    aktarim::test::CrashingFileSystem fs;
    fs.Put("/ev/personel/personel.ini", bytes);
    aktarim::PersonnelStore store("/ev", fs);
    store.OpenStore();
    std::vector<std::string> keys;
    try {
        keys = store.ReadPersonnelList();
    } catch (const aktarim::AppError& e) {
        Check(e.kind() == aktarim::ErrorKind::Conversion);
        Check(fs.Live(store.listPath()) == bytes);
        return 0;
    }
    Check(fs.Live(store.listPath()) == bytes);
    for (const std::string& key : keys) {
        Check(key.size() >= 3 && aktarim::Utf8Length(key) <= 10);
        aktarim::StrToInt(key);  // a key is itself a number (throws otherwise, which aborts)
    }
    store.RebuildPersonnelList(keys);
    Check(store.ReadPersonnelList() == keys);
    return 0;
}
