#include "personnel/PersonnelStore.h"

#include <cerrno>
#include <iterator>
#include <tuple>
#include <utility>

#include "core/Errors.h"
#include "core/NumberField.h"
#include "core/Text.h"

namespace aktarim {
namespace {

constexpr size_t kListLineCharacters = 15;
constexpr size_t kKeyCharacters = 10;
constexpr size_t kShortestKey = 3;
constexpr size_t kTemplateMinimum = 10;  // a template is longer than this

std::string TemplateKey(int index) {
    if (index < 0 || index >= kTemplateSlots)
        throw AppError(ErrorKind::Range,
                       "Parmak izi sırası geçersiz (" + std::to_string(index) + ")");
    return "parmakizi" + std::to_string(index);
}

// Splits at CR LF, LF or a lone CR; a last line without an end counts too.
std::vector<std::string_view> Lines(std::string_view bytes) {
    std::vector<std::string_view> lines;
    size_t start = 0;
    while (start < bytes.size()) {
        size_t end = start;
        while (end < bytes.size() && bytes[end] != '\r' && bytes[end] != '\n') ++end;
        lines.push_back(bytes.substr(start, end - start));
        if (end < bytes.size() && bytes[end] == '\r' && end + 1 < bytes.size() &&
            bytes[end + 1] == '\n')
            ++end;
        start = end + 1;
    }
    return lines;
}

// A value as the next reading of the file gives it. A value written in this
// session is still held as it was given: untrimmed, and with characters that
// code page 1254 cannot hold (a UTF-8 or UTF-16 file keeps those).
std::string StoredForm(std::string_view value, IniEncoding encoding) {
    if (encoding != IniEncoding::Cp1254) return std::string(TrimBlanks(value));
    return Cp1254ToUtf8(Utf8ToCp1254(TrimBlanks(value)));
}

}  // namespace

std::string PersonnelKey(int32_t number) {
    if (number >= 0 && number <= 99999) return ZeroPadded(number, 5);
    if (number < 0 && number > -10000) return std::string(1, '-').append(ZeroPadded(-number, 4));
    return std::to_string(number);
}

std::string PrivilegeName(int32_t privilege) {
    if (privilege < 0 || privilege >= static_cast<int32_t>(std::size(kPrivilegeNames))) return {};
    return kPrivilegeNames[privilege];
}

int32_t PrivilegeNumber(std::string_view name) {
    for (int32_t i = 0; i < static_cast<int32_t>(std::size(kPrivilegeNames)); ++i)
        if (name == kPrivilegeNames[i]) return i;
    return 0;
}

bool IsTemplateText(std::string_view text) { return Utf8Length(text) > kTemplateMinimum; }

const char* PersonFieldKey(PersonField field) {
    switch (field) {
        case PersonField::isim:
            return "isim";
        case PersonField::yetki:
            return "yetki";
        case PersonField::kartno:
            return "kartno";
        case PersonField::sifre:
            return "sifre";
    }
    return "isim";
}

PersonnelStore::PersonnelStore(std::string programFolder, FileSystem& fs)
    : folder_(JoinPath(programFolder, kPersonnelFolderName)),
      listPath_(JoinPath(folder_, kPersonnelListFileName)),
      detailsPath_(JoinPath(folder_, kPersonnelDetailsFileName)),
      rebuildPath_(JoinPath(folder_, kPersonnelRebuildFileName)),
      fs_(fs) {}

PersonnelStore::~PersonnelStore() = default;

void PersonnelStore::OpenStore() {
    if (!fs_.Exists(folder_)) fs_.CreateDirectories(folder_);
    // A replacement that stopped between removing the list and renaming the
    // new one left the whole new list in the rebuild file.
    if (!fs_.Exists(listPath_) && fs_.Exists(rebuildPath_)) {
        fs_.Rename(rebuildPath_, listPath_);
        fs_.SyncDirectory(folder_);
    }
    // Opening for appending creates a missing list empty and leaves an
    // existing one as it is.
    if (!fs_.Exists(listPath_)) fs_.OpenAppend(listPath_)->Close();
    details_ = std::make_unique<IniFile>(detailsPath_, fs_);
}

void PersonnelStore::CloseStore() {
    if (batch_ != nullptr) throw AppError(ErrorKind::Usage, "Personel kayıtları kullanımda");
    details_.reset();
}

IniFile& PersonnelStore::Details() const {
    if (details_ == nullptr) throw AppError(ErrorKind::Usage, "Personel kayıtları açık değil");
    return *details_;
}

std::vector<std::string> PersonnelStore::ReadPersonnelList() {
    const std::optional<std::string> bytes = fs_.ReadFile(listPath_);
    if (!bytes) throw AppError(ErrorKind::Io, IoErrorText(fs_.Exists(listPath_) ? EACCES : ENOENT));
    std::vector<std::string> keys;
    for (std::string_view line : Lines(*bytes)) {
        std::string_view head = line.substr(0, kListLineCharacters);  // one byte, one character
        if (head.empty()) head = "0";
        StrToInt(Cp1254ToUtf8(head));
        if (head.size() < kShortestKey) continue;
        keys.push_back(Cp1254ToUtf8(head.substr(0, kKeyCharacters)));
    }
    return keys;
}

std::string PersonnelStore::ReadPersonField(std::string_view key, PersonField field) const {
    const char* fallback = field == PersonField::yetki ? kPrivilegeNames[0] : "";
    return StoredForm(Details().ReadString(key, PersonFieldKey(field), fallback),
                      Details().encoding());
}

PersonRecord PersonnelStore::ReadPerson(std::string_view key) const {
    PersonRecord person;
    person.isim = ReadPersonField(key, PersonField::isim);
    person.yetki = ReadPersonField(key, PersonField::yetki);
    person.kartno = ReadPersonField(key, PersonField::kartno);
    person.sifre = ReadPersonField(key, PersonField::sifre);
    for (int i = 0; i < kTemplateSlots; ++i) {
        // The length alone decides, and the code page changes no length.
        if (IsTemplateText(TrimBlanks(Details().ReadString(key, TemplateKey(i), "")))) {
            person.fingerprintMark = 1;
            break;
        }
    }
    return person;
}

std::string PersonnelStore::ReadTemplate(std::string_view key, int index) const {
    return StoredForm(Details().ReadString(key, TemplateKey(index), ""), Details().encoding());
}

void PersonnelStore::AppendPersonnelNumber(int32_t number) {
    AppendPersonnelKey(PersonnelKey(number));
}

void PersonnelStore::AppendPersonnelKey(std::string_view key) {
    if (batch_ != nullptr) {
        if (batch_->rebuildKeys_)
            batch_->rebuildKeys_->emplace_back(key);
        else
            batch_->appendKeys_.emplace_back(key);
        return;
    }
    const std::string line(key);
    ReplaceList(WithAppended(CurrentList(), ListBytes({&line, 1})));
}

void PersonnelStore::WritePersonField(std::string_view key, PersonField field,
                                      std::string_view value) {
    Details().WriteString(key, PersonFieldKey(field), value);
}

void PersonnelStore::WriteTemplate(std::string_view key, int index, std::string_view text) {
    Details().WriteString(key, TemplateKey(index), text);
}

void PersonnelStore::ErasePerson(std::string_view key) { Details().EraseSection(key); }

void PersonnelStore::RebuildPersonnelList(std::span<const std::string> keys) {
    if (batch_ != nullptr) {
        batch_->rebuildKeys_.emplace(keys.begin(), keys.end());
        batch_->appendKeys_.clear();
        return;
    }
    ReplaceList(ListBytes(keys));
}

std::string PersonnelStore::ListBytes(std::span<const std::string> keys) {
    std::string bytes;
    for (const std::string& key : keys) {
        bytes += Utf8ToCp1254(key);
        bytes += "\r\n";
    }
    return bytes;
}

void PersonnelStore::ReplaceList(const std::string& bytes) {
    // Written whole beside the list and renamed over it: a power cut leaves
    // the old list or the new one, never a torn last line.
    WriteFileAtomically(fs_, listPath_, bytes, kPersonnelRebuildFileName);
}

std::string PersonnelStore::CurrentList() {
    std::optional<std::string> bytes = fs_.ReadFile(listPath_);
    if (bytes) return std::move(*bytes);
    if (fs_.Exists(listPath_)) throw AppError(ErrorKind::Io, IoErrorText(EACCES));
    return {};
}

std::string PersonnelStore::WithAppended(std::string list, const std::string& lines) {
    // A last line without its end (a hand edit) is ended first, so that the
    // new key does not join it.
    if (!list.empty() && list.back() != '\n' && list.back() != '\r') list += "\r\n";
    return list + lines;
}

PersonnelStore::Batch::Batch(PersonnelStore& store) : store_(store) {
    if (store_.batch_ != nullptr) throw AppError(ErrorKind::Usage, "Personel kayıtları kullanımda");
    group_.emplace(store_.Details(), IniFile::Group::Abandon::Discard);
    store_.batch_ = this;
}

PersonnelStore::Batch::~Batch() {
    store_.batch_ = nullptr;
    group_.reset();  // without Commit() the details file drops what was gathered
}

void PersonnelStore::Batch::Commit() {
    if (!open_) return;
    open_ = false;
    store_.batch_ = nullptr;

    // The list first, so that a refused details write can take it back.
    std::optional<std::string> listBefore;
    if (rebuildKeys_ || !appendKeys_.empty()) {
        listBefore = store_.CurrentList();
        store_.ReplaceList(rebuildKeys_ ? ListBytes(*rebuildKeys_)
                                        : WithAppended(*listBefore, ListBytes(appendKeys_)));
    }
    try {
        group_->Commit();
    } catch (const AppError&) {
        try {
            if (listBefore) store_.ReplaceList(*listBefore);
        } catch (const AppError&) {
        }
        throw;
    }
}

}  // namespace aktarim
