#pragma once
// The PC's own copy of the terminals' personnel: three files in the folder
// `personel` of the program folder.
//
//   personel.ini   the list: one personnel key a line, in display order
//   parmakizi.ini  the details: an INI section per key with isim, yetki,
//                  kartno, sifre and the templates parmakizi0..parmakizi9
//   _personel.ini  the new list while the list is replaced
//
// Texts cross this interface as UTF-8; the files hold code page 1254 with
// CR LF line ends. Failures throw AppError: Io with the platform's text for
// the list file, "Unable to write to <path>" for the details file, and the
// conversion error for a list line that is not an integer.
#include <cstdint>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "core/FileSystem.h"
#include "core/IniFile.h"

namespace aktarim {

inline constexpr const char* kPersonnelFolderName = "personel";
inline constexpr const char* kPersonnelListFileName = "personel.ini";
inline constexpr const char* kPersonnelDetailsFileName = "parmakizi.ini";
inline constexpr const char* kPersonnelRebuildFileName = "_personel.ini";

// The terminal's privilege numbers 0..3 by name.
inline constexpr const char* kPrivilegeNames[] = {"Normal", "Kayıtçı", "Yetkili", "Supervizor"};
inline constexpr int kTemplateSlots = 10;

// The key naming user `number` in the store and in both grids' Per.No cells:
// five digits, zero-padded, for 0..99999; the full decimal text above that,
// so that no two users share a key. Negative numbers keep their sign in front
// of at least four digits, so the key still reads back as the same integer.
std::string PersonnelKey(int32_t number);

// "Normal", "Kayıtçı", "Yetkili", "Supervizor" for 0..3; empty otherwise.
std::string PrivilegeName(int32_t privilege);
// The number of an exact privilege name; any other text is "Normal" (0).
int32_t PrivilegeNumber(std::string_view name);

// Whether a text counts as a fingerprint template: more than 10 characters.
bool IsTemplateText(std::string_view text);

enum class PersonField { isim, yetki, kartno, sifre };
const char* PersonFieldKey(PersonField field);

struct PersonRecord {
    std::string isim;
    std::string yetki = "Normal";
    std::string kartno;
    std::string sifre;
    int fingerprintMark = 0;  // 1 when one of the ten slots holds a template
};

class PersonnelStore {
  public:
    explicit PersonnelStore(std::string programFolder, FileSystem& fs = RealFileSystem());
    ~PersonnelStore();
    PersonnelStore(const PersonnelStore&) = delete;
    PersonnelStore& operator=(const PersonnelStore&) = delete;

    const std::string& listPath() const { return listPath_; }
    const std::string& detailsPath() const { return detailsPath_; }
    const std::string& rebuildPath() const { return rebuildPath_; }
    bool IsOpen() const { return details_ != nullptr; }

    // Creates the folder and an empty list when they are missing (putting a
    // rebuild file left without its list in the list's place), then reads
    // the details file.
    void OpenStore();
    // Releases the details file; the store can be opened again.
    void CloseStore();

    // The keys of the list file in file order. Each line counts by its first
    // 15 characters (an empty line as "0"), which must form an integer, else
    // the conversion error ends the reading; lines under 3 characters are
    // skipped; a key is the first 10 characters. Duplicates are kept.
    std::vector<std::string> ReadPersonnelList();

    PersonRecord ReadPerson(std::string_view key) const;
    std::string ReadPersonField(std::string_view key, PersonField field) const;
    // index 0..9; "" when missing.
    std::string ReadTemplate(std::string_view key, int index) const;

    // Adds the line PersonnelKey(number) to the list. The list is replaced
    // whole, never appended to in place, so that a power cut cannot leave a
    // torn line; a last line without its end is ended first.
    void AppendPersonnelNumber(int32_t number);
    // Adds a line holding key to the list.
    void AppendPersonnelKey(std::string_view key);
    // Only the details file changes; the list is left alone.
    void WritePersonField(std::string_view key, PersonField field, std::string_view value);
    void WriteTemplate(std::string_view key, int index, std::string_view text);
    // Removes the key's whole section, templates included.
    void ErasePerson(std::string_view key);
    // Replaces the list by one holding exactly these keys, in one step: the
    // new list goes to _personel.ini, is synced and renamed over the list.
    // A list read-only for the user is refused; its mode, owner, group and
    // symbolic link are kept.
    void RebuildPersonnelList(std::span<const std::string> keys);

    // Gathers the writes of one command. While a Batch lives, the details
    // file changes only in memory and list changes wait; Commit() makes them
    // durable together, the list first, so that a refused details write can
    // still take the list change back. A Batch ended without Commit() drops
    // everything it gathered. Either way each file stays whole.
    class Batch {
      public:
        explicit Batch(PersonnelStore& store);
        ~Batch();
        Batch(const Batch&) = delete;
        Batch& operator=(const Batch&) = delete;
        void Commit();

      private:
        friend class PersonnelStore;
        PersonnelStore& store_;
        std::optional<IniFile::Group> group_;
        std::vector<std::string> appendKeys_;
        std::optional<std::vector<std::string>> rebuildKeys_;
        bool open_ = true;
    };

  private:
    IniFile& Details() const;
    void ReplaceList(const std::string& bytes);
    // The list's bytes ("" when it is missing).
    std::string CurrentList();
    static std::string ListBytes(std::span<const std::string> keys);
    static std::string WithAppended(std::string list, const std::string& lines);

    std::string folder_;
    std::string listPath_;
    std::string detailsPath_;
    std::string rebuildPath_;
    FileSystem& fs_;
    std::unique_ptr<IniFile> details_;
    Batch* batch_ = nullptr;
};

}  // namespace aktarim
