#include "sim/DemoData.h"

#include <algorithm>
#include <array>
#include <iterator>
#include <set>
#include <tuple>

namespace aktarim::sim {

uint64_t SplitMix64::Next() {
    uint64_t z = (state_ += 0x9E3779B97F4A7C15ull);
    z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ull;
    z = (z ^ (z >> 27)) * 0x94D049BB133111EBull;
    return z ^ (z >> 31);
}

int64_t SplitMix64::Between(int64_t low, int64_t high) {
    const auto span = static_cast<uint64_t>(high - low) + 1;
    return low + static_cast<int64_t>(Next() % span);
}

namespace {

constexpr std::array<const char*, 40> kFirstNames = {
    "Ayşe",   "Mehmet", "Gülşen", "İbrahim", "Fatma", "Mustafa", "Emine",  "Ahmet",
    "Hatice", "Ali",    "Zeynep", "Hüseyin", "Elif",  "Hasan",   "Şükran", "İsmail",
    "Özlem",  "Ömer",   "Çiğdem", "Yusuf",   "Gökçe", "Murat",   "Sevgi",  "Ramazan",
    "Büşra",  "Osman",  "Nurşen", "Şahin",   "Derya", "Halil",   "Tuğba",  "Ümit",
    "Merve",  "Kadir",  "Songül", "Erdoğan", "Dilek", "Cem",     "İpek",   "Uğur"};

constexpr std::array<const char*, 32> kLastNames = {
    "Yılmaz",  "Öztürk",  "Çelik",  "Şahin",    "Kaya",    "Demir", "Yıldız", "Aydın",
    "Özdemir", "Arslan",  "Doğan",  "Kılıç",    "Aslan",   "Çetin", "Kara",   "Koç",
    "Kurt",    "Özkan",   "Şimşek", "Polat",    "Erdoğan", "Güneş", "Yücel",  "Akgül",
    "Bulut",   "Karataş", "Uçar",   "Gündoğdu", "Işık",    "Çakır", "Ünal",   "Bozkurt"};

constexpr std::string_view kBase64 =
    "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";

// Numbers a small company hands out from 1 upwards; every twentieth person
// carries a long number from another numbering (over the five digits of the
// record line).
std::vector<int32_t> UserNumbers(SplitMix64& rng, int32_t count) {
    std::vector<int32_t> numbers;
    std::set<int32_t> taken;
    const int64_t maxStep = std::clamp<int64_t>(90000 / std::max(count, 1), 1, 4);
    int64_t next = rng.Between(1, 20);
    for (int32_t i = 0; i < count; ++i) {
        int64_t number = 0;
        if (i % 20 == 7) {
            do number = rng.Between(100000, 9999999);
            while (taken.count(static_cast<int32_t>(number)) > 0);
        } else {
            number = next;
            next += rng.Between(1, maxStep);
        }
        taken.insert(static_cast<int32_t>(number));
        numbers.push_back(static_cast<int32_t>(number));
    }
    return numbers;
}

int32_t Privilege(SplitMix64& rng, int32_t index) {
    // A supervisor, a manager and an enroller in every terminal; the rest
    // mostly ordinary staff.
    if (index == 0) return 3;
    if (index == 3) return 2;
    if (index == 5) return 1;
    const int64_t roll = rng.Between(0, 99);
    if (roll < 85) return 0;
    if (roll < 92) return 1;
    if (roll < 97) return 2;
    return 3;
}

std::string Digits(SplitMix64& rng, int count) {
    std::string text;
    for (int i = 0; i < count; ++i) text.push_back(static_cast<char>('0' + rng.Between(0, 9)));
    return text;
}

std::string TemplateText(SplitMix64& rng) {
    const auto length = static_cast<size_t>(rng.Between(500, 2000)) & ~size_t{3};
    std::string text;
    text.reserve(length);
    while (text.size() < length) {
        uint64_t bits = rng.Next();
        for (int k = 0; k < 10 && text.size() < length; ++k, bits >>= 6)
            text.push_back(kBase64[bits & 63]);
    }
    const auto padding = static_cast<size_t>(rng.Between(0, 2));
    text.replace(length - padding, padding, padding, '=');
    return text;
}

struct Day {
    int32_t year, month, day;
};

// The `count` days before now's local date, most recent first.
std::vector<Day> PastDays(std::time_t now, int32_t count) {
    std::tm today{};
    localtime_r(&now, &today);
    std::vector<Day> days;
    for (int32_t back = 1; back <= count; ++back) {
        std::tm t{};
        t.tm_year = today.tm_year;
        t.tm_mon = today.tm_mon;
        t.tm_mday = today.tm_mday - back;
        t.tm_hour = 12;  // noon: no daylight-saving gap to fall into
        t.tm_isdst = -1;
        std::mktime(&t);
        days.push_back({t.tm_year + 1900, t.tm_mon + 1, t.tm_mday});
    }
    return days;
}

// Typical hours of each in/out state: in, out, break out, break in,
// overtime in, overtime out.
struct Window {
    int32_t from, to;  // seconds since midnight
};
constexpr std::array<Window, 6> kStateHours = {{{7 * 3600 + 1800, 9 * 3600 + 1800},
                                                {16 * 3600 + 1800, 19 * 3600 + 1800},
                                                {12 * 3600, 12 * 3600 + 1800},
                                                {12 * 3600 + 1800, 13 * 3600 + 1800},
                                                {19 * 3600, 20 * 3600},
                                                {20 * 3600, 23 * 3600}}};

int32_t State(SplitMix64& rng) {
    const int64_t roll = rng.Between(0, 99);
    if (roll < 40) return 0;
    if (roll < 80) return 1;
    if (roll < 86) return 2;
    if (roll < 92) return 3;
    if (roll < 96) return 4;
    return 5;
}

int32_t Verify(SplitMix64& rng) {
    const int64_t roll = rng.Between(0, 99);
    if (roll < 80) return 1;  // fingerprint
    if (roll < 92) return 2;  // card
    return 0;                 // password
}

}  // namespace

AttendanceEntry MakePunch(SplitMix64& rng, const MemoryTerminal& terminal, std::time_t pcNow) {
    const auto& users = terminal.state().users;
    AttendanceEntry entry;
    if (users.empty()) {
        entry.user = static_cast<int32_t>(rng.Between(1, 20));
    } else {
        const auto pick = rng.Between(0, static_cast<int64_t>(users.size()) - 1);
        entry.user = std::next(users.begin(), static_cast<std::ptrdiff_t>(pick))->first;
    }
    entry.verify = Verify(rng);
    entry.state = State(rng);
    const ClockValue clock = terminal.Clock(pcNow);
    entry.year = clock.year;
    entry.month = clock.month;
    entry.day = clock.day;
    entry.hour = clock.hour;
    entry.minute = clock.minute;
    entry.second = clock.second;
    return entry;
}

DemoData MakeDemoData(const DemoOptions& options, std::time_t now) {
    SplitMix64 rng(options.seed);
    DemoData data;

    const std::vector<int32_t> numbers = UserNumbers(rng, std::max(options.users, 0));
    for (size_t i = 0; i < numbers.size(); ++i) {
        TerminalUser user;
        user.number = numbers[i];
        user.name = std::string(kFirstNames[rng.Between(0, kFirstNames.size() - 1)]) + " " +
                    kLastNames[rng.Between(0, kLastNames.size() - 1)];
        user.privilege = Privilege(rng, static_cast<int32_t>(i));
        if (rng.Chance(25) || user.privilege > 0) user.password = Digits(rng, 4);
        user.enabled = !rng.Chance(3);
        if (rng.Chance(40)) user.card = "00" + Digits(rng, 8);
        data.users.push_back(std::move(user));
    }
    std::sort(data.users.begin(), data.users.end(),
              [](const auto& a, const auto& b) { return a.number < b.number; });

    const int32_t perUser = std::clamp(options.templatesPerUser, 0, kFingersPerUser);
    for (const TerminalUser& user : data.users) {
        std::array<int32_t, kFingersPerUser> fingers{0, 1, 2, 3, 4, 5, 6, 7, 8, 9};
        for (int32_t k = 0; k < perUser; ++k)
            std::swap(fingers[k], fingers[rng.Between(k, kFingersPerUser - 1)]);
        std::sort(fingers.begin(), fingers.begin() + perUser);
        for (int32_t k = 0; k < perUser; ++k)
            data.templates.push_back({{user.number, fingers[k]}, TemplateText(rng)});
    }

    const int32_t records = std::max(options.records, 0);
    if (records == 0) return data;
    // About two punches per person and day, over at least a week.
    const int32_t people = std::max<int32_t>(static_cast<int32_t>(data.users.size()), 1);
    const int32_t dayCount =
        std::clamp<int32_t>((records + 2 * people - 1) / (2 * people), 7, 3650);
    const std::vector<Day> days = PastDays(now, dayCount);
    data.records.reserve(static_cast<size_t>(records));
    for (int32_t i = 0; i < records; ++i) {
        AttendanceEntry entry;
        // A log without users still has punches: of people since deleted.
        entry.user = data.users.empty() ? static_cast<int32_t>(rng.Between(1, 20))
                                        : data.users[rng.Between(0, data.users.size() - 1)].number;
        entry.verify = Verify(rng);
        // The first six cover every state, so even a short log shows them all.
        entry.state = i < 6 ? i : State(rng);
        const Day& day = days[rng.Between(0, dayCount - 1)];
        const Window& hours = kStateHours[entry.state];
        const auto second = static_cast<int32_t>(rng.Between(hours.from, hours.to));
        entry.year = day.year;
        entry.month = day.month;
        entry.day = day.day;
        entry.hour = second / 3600;
        entry.minute = second / 60 % 60;
        entry.second = second % 60;
        data.records.push_back(entry);
    }
    const auto when = [](const AttendanceEntry& e) {
        return std::tie(e.year, e.month, e.day, e.hour, e.minute, e.second);
    };
    std::stable_sort(data.records.begin(), data.records.end(),
                     [&](const auto& a, const auto& b) { return when(a) < when(b); });
    return data;
}

}  // namespace aktarim::sim
