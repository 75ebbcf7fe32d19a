// Builds a machine from fuzz bytes: every key of the usb section and each
// of its failure forms, names and properties of any content and length,
// hub names that differ only in case (paths compare without case, so two
// ports may lead to one hub), node lists that disagree with the walk, and
// a command line of options and IDs drawn from the machine's own texts.
// Most machines are localized, their names sized around the program's
// fields and the hubs' areas so that cuts fall inside a character.
#include "MachineGen.h"

#include <algorithm>
#include <nlohmann/json.hpp>
#include <set>
#include <vector>

namespace tarvel::fuzz {
namespace {

using nlohmann::json;

// Small enough that one run stays in the milliseconds; the largest
// machines are the stress test's business.
const int kMaxHubs = 24;
const int kMaxListedPorts = 64;
const size_t kPoolSize = 48;
const char kHubGuid[] = "#{f18a0e88-c30c-11d0-8815-00a0c906bed8}";

// Bytes or UTF-16 units where a text is cut or refused: record fields of
// 44, 64, 128 and 200 bytes, a path's 256, the hubs' answer areas (63, 255
// and 259 units) and the property area (1023 units and the terminator).
const int kWidths[] = {43, 44, 63, 64, 127, 128, 199, 200, 255, 256, 259, 260, 1023, 1024};

// A script, as code points (a range where two are joined by '-') that the
// code pages of a Windows localized in it hold, with those code pages;
// between them, every code page the simulated machine has a table for.
struct Script { int ansi, oem; const char32_t* points; };
const Script kScripts[] = {
    {1252, 437, U"\xC0-\xFF"}, {1252, 850, U"\xC0-\xFF"}, {1251, 866, U"\x410-\x44F"},
    {1250, 852, U"ěščřžýáíéůúňťďĚŠČŘŽŇŤĎŮ"}, {1253, 1253, U"\x391-\x3C9"},
    {1254, 1254, U"ğĞşŞıİçÇöÖüÜ"}, {1255, 1255, U"\x5D0-\x5EA"}, {1256, 1256, U"\x621-\x64A"},
    {1257, 1257, U"āčēģīķļņšūžĀČĒĢĪĶĻŅŠŪŽ"}, {1258, 1258, U"ăâđêôơưĐƯ₫\x300\x301\x303\x309\x323"},
    {874, 874, U"\xE01-\xE3A"}, {932, 932, U"\x3041-\x3093"}, {932, 932, U"\xFF61-\xFF9F"},
    {932, 932, U"日本語機器接続装置入力出力設定汎用記憶域"}, {936, 936, U"\x4E00-\x9FA5"},
    {949, 949, U"\xAC00-\xD7A3"}, {950, 950, U"裝置通用序列匯流排控制器集線器輸入複合大量儲存"},
    {65001, 65001, U"\x1F300-\x1F64F"}, {65001, 65001, U"\x20000-\x2A6D6"}};
const int kScriptCount = int(sizeof kScripts / sizeof kScripts[0]);

void AppendUtf8(std::string& out, uint32_t c) {
    int n = c < 0x80 ? 0 : c < 0x800 ? 1 : c < 0x10000 ? 2 : 3;  // continuation bytes
    out += char(n == 0 ? c : (0xFF00 >> (n + 1)) | (c >> (6 * n)));  // 0xC0, 0xE0 or 0xF0 leads
    for (int i = n - 1; i >= 0; i--) out += char(0x80 | ((c >> (6 * i)) & 0x3F));
}

std::string Printf(const char* format, unsigned a, unsigned b = 0, unsigned c = 0) {
    char text[128];
    snprintf(text, sizeof text, format, a, b, c);
    return text;
}

class Generator {
public:
    explicit Generator(FuzzedDataProvider& in) : in_(in) {}

    GeneratedRun Run() {
        GeneratedRun run;
        maxDepth_ = Chance(8) ? 80 : 5;  // now and then a chain too long to walk
        // Now and then more nodes than the node list holds; slow, as every
        // allocation validates the whole heap.
        fullNodeList_ = Chance(16);
        json machine = {{"clock", "virtual"}, {"system", System()}, {"console", Console()},
                        {"usb", Usb()}};
        run.cmdline = CommandLine();
        // Drawn last, so that the seeds keep the machines they were made for.
        if (Chance(4)) machine["console"]["processes"] = Range(1, 3);
        run.machine = machine.dump();
        run.lineFeedInTexts = lineFeed_;
        return run;
    }

private:
    // Out of bytes the provider answers its minimum: then nothing rare happens.
    bool Chance(int oneIn) { return in_.ConsumeIntegralInRange(0, oneIn - 1) == oneIn - 1; }
    int Range(int low, int high) { return in_.ConsumeIntegralInRange(low, high); }
    template <typename T>
    T Pick(std::initializer_list<T> values) {
        return *(values.begin() + Range(0, int(values.size()) - 1));
    }

    void Remember(const std::string& text) {
        if (text.find('\n') != std::string::npos) lineFeed_ = true;
        if (pool_.size() < kPoolSize && !text.empty()) pool_.push_back(text);
    }

    uint32_t CodePoint() {  // a control, ASCII, Latin-1, the rest of the BMP, beyond it
        static const uint32_t kBounds[] = {0, 0x20, 0x7F, 0x100, 0x10000, 0x110000};
        int k = Range(0, 4);
        uint32_t c = in_.ConsumeIntegralInRange<uint32_t>(kBounds[k], kBounds[k + 1] - 1);
        return c >= 0xD800 && c <= 0xDFFF ? 0xFFFD : c;
    }

    std::string Text() {
        std::string t;
        switch (Range(0, 12)) {
            case 0:
                if (!pool_.empty()) return pool_[Range(0, int(pool_.size()) - 1)];
                break;
            case 1: {
                static const char kChars[] = "AbCdEz019 _#&\\.{}[]|-*?\"";
                for (int n = Range(1, 24); n > 0; n--) t += kChars[Range(0, sizeof kChars - 2)];
                break;
            }
            case 2:
                for (int n = Range(0, 40); n > 0; n--) AppendUtf8(t, CodePoint());
                break;
            case 3: {
                std::string unit;
                AppendUtf8(unit, CodePoint());
                for (int n = Range(0, 1200); n > 0; n--) t += unit;
                break;
            }
            case 4: t = Printf("{36fc9e60-c465-11cf-8056-444553540000}\\%04u", Range(0, 12)); break;
            case 5: t = Printf("Port_#%04u.Hub_#%04u", Range(0, 6), Range(0, 6)); break;
            case 6:
                t = Printf("USB\\VID_%04X&PID_%04X\\%u", Range(0, 3), Range(0, 3), Range(0, 9));
                break;
            case 7: break;
            case 8:
                t = "- (" + std::string(Pick({"CR_NO_SUCH_VALUE", "ERROR_GEN_FAILURE"})) + ")";
                break;
            case 10:
            case 11: t = Localized(); break;
            default:
                t = in_.ConsumeRandomLengthString(80);
                t = json(t).dump(-1, ' ', false, json::error_handler_t::replace);
                t = json::parse(t).get<std::string>();  // invalid UTF-8 made valid
                break;
        }
        Remember(t);
        return t;
    }

    // A name in the machine's script (now and then another, or several):
    // as many characters as one of the widths takes in one to four bytes
    // each, give or take two, after up to three ASCII ones that shift the cut.
    std::string Localized() {
        std::string t;
        for (int n = Range(0, 3); n > 0; n--) t += char('A' + Range(0, 25));
        int count = kWidths[Range(0, int(sizeof kWidths / sizeof(int)) - 1)] / Range(1, 4) + Range(-2, 2);
        bool mixed = Chance(4);
        std::u32string points = kScripts[Chance(4) ? Range(0, kScriptCount - 1) : script_].points;
        for (int i = 0; i < count; i++) {
            if (mixed) points = kScripts[Range(0, kScriptCount - 1)].points;
            bool range = points.size() == 3 && points[1] == '-';
            AppendUtf8(t, Chance(8)  ? ' '
                          : range ? in_.ConsumeIntegralInRange<uint32_t>(points[0], points[2])
                                  : points[Range(0, int(points.size()) - 1)]);
        }
        return t;
    }

    json Code() {
        return Pick<uint32_t>({0x25, 0x1A, 0x03, 0x0D, 0x13, 0x1F}) + (Chance(6) ? Range(1, 1000) : 0);
    }

    json Number(uint32_t max) {
        uint32_t v = Chance(3) ? Range(0, 4) : in_.ConsumeIntegralInRange<uint32_t>(0, max);
        if (Chance(4)) return Printf("0x%X", v);
        return v;
    }

    // A text, a failure, or (missing key) the default; a registry property
    // may also be stored without its terminator.
    void TextOrCr(json& j, const char* key, bool property = true) {
        switch (Range(0, property ? 4 : 3)) {
            case 0: break;
            case 1: j[key] = {{"cr", Code()}}; break;
            case 4: j[key] = {{"unterminated", Text()}}; break;
            default: j[key] = Text(); break;
        }
    }

    json Node() {
        json n = json::object();
        TextOrCr(n, "instance_id", false);
        TextOrCr(n, "friendly_name");
        TextOrCr(n, "description");
        TextOrCr(n, "location");
        TextOrCr(n, "driver");
        // Started, or with DN_HAS_PROBLEM and not or yet started, whatever the problem.
        if (Chance(3))
            n["status"] = Chance(5)   ? json{{"cr", Code()}}
                          : Chance(4) ? Number(0xFFFFFFFF)
                                      : json(Pick<uint32_t>({0x0180200A, 0x01802400, 0x0180240A}));
        if (Chance(2)) n["problem"] = Chance(4) ? Number(0xFFFFFFFF) : json(Range(1, 57));
        if (Chance(5)) n["children"] = fullNodeList_ && Chance(4) ? Range(1000, 2000) : Range(1, 3);
        return n;
    }

    // A hub name that no other hub has exactly; now and then one that
    // differs from an earlier one only in case.
    std::string HubName() {
        std::string name;
        if (!names_.empty() && Chance(3)) {
            auto it = names_.begin();
            std::advance(it, Range(0, int(names_.size()) - 1));
            name = *it;
            for (char& c : name)
                if (((c | 0x20) >= 'a' && (c | 0x20) <= 'z') && Chance(2)) c ^= 0x20;
        } else {
            name = Text();
        }
        while (name.empty() || names_.count(name)) name += char('A' + Range(0, 25));
        return name;
    }

    json System() {
        json s = json::object();
        if (Chance(2)) {
            s["os_version"] = Pick<std::vector<int>>({{5, 1, 2600}, {5, 2, 3790}, {6, 0, 6002},
                                                      {6, 1, 7601}, {6, 2, 9200}, {6, 3, 9600}, {10, 0, 22631}});
            s["service_pack"] = Range(0, 3);
        }
        if (Chance(4)) s["rtl_get_version"] = Pick({"ok", "missing", "fails"});
        if (Chance(4)) s["version_dll"] = Pick({"ok", "missing", "no_functions"});
        if (Chance(4)) s["wow64"] = Pick<json>({true, false, "missing"});
        if (Chance(4)) s["dll_directory_functions"] = Chance(2);
        if (Chance(4)) s["exe_version"] = Chance(2) ? json(nullptr) : json("2.7.0.13");
        if (Chance(6)) s["ntdll_version"] = nullptr;
        if (Chance(6)) s["system_directory"] = Text();
        if (Chance(6)) s["exe_path"] = Text();
        return s;
    }

    json Console() {
        // Never "auto": the run must not depend on where the fuzzer's output goes.
        json c = {{"stdout", Pick({"console", "nul", "file", "pipe"})},
                  {"stderr", Pick({"console", "file"})}};
        // Mostly a localized Windows; else any two code pages, or the defaults.
        script_ = Range(0, kScriptCount - 1);
        bool localized = !Chance(4);
        if (localized || Chance(2)) {
            c["ansi_cp"] = kScripts[localized ? script_ : Range(0, kScriptCount - 1)].ansi;
            c["output_cp"] = kScripts[localized ? script_ : Range(0, kScriptCount - 1)].oem;
        }
        if (Chance(4)) c["cp_info"] = false;
        if (Chance(2)) c["window"] = Pick({"none", "hidden", "other", "own", "pseudo"});
        if (Chance(4)) c["stdin"] = "redirected";
        if (Chance(3)) {
            json batches = json::array();
            for (int b = Range(0, 2); b > 0; b--) {
                json batch = json::array();
                for (int r = Range(0, 3); r > 0; r--)
                    batch.push_back(Chance(2) ? json{{"type", "key"}, {"down", Chance(3) != 0},
                                                     {"vk", Range(0, 0x5A)}, {"char", Range(0, 127)},
                                                     {"state", Chance(2) ? 0 : Range(0, 0x1F)}}
                                              : json{{"type", Pick({"focus", "menu", "mouse", "size"})}});
                batches.push_back(batch);
            }
            c["input"] = batches;
        }
        if (Chance(6)) c["screen_attributes"] = nullptr;
        return c;
    }

    json Usb() {
        json u = json::object();
        if (Chance(12)) u["controller_set"] = "fails";
        if (Chance(12)) u["hub_set"] = "fails";
        json controllers = json::array();
        for (int i = Range(0, Chance(4) ? 6 : 2); i >= 0; i--) controllers.push_back(Controller());
        u["controllers"] = controllers;
        if (Chance(3)) {
            std::vector<std::string> order = nodeHubs_;
            for (size_t i = order.size(); i > 1; i--) std::swap(order[i - 1], order[Range(0, int(i) - 1)]);
            order.resize(Range(0, int(order.size())));
            u["hub_set_order"] = order;
        }
        return u;
    }

    json Controller() {
        json c = json::object();
        if (Chance(8)) c["detail"] = false;
        if (Chance(8)) c["open"] = false;
        if (Chance(8)) c["path"] = names_.empty() || Chance(2) ? Text() : "\\\\.\\" + *names_.begin();
        if (!Chance(8) && hubs_ < kMaxHubs) c["root_hub"] = Hub(0, true, 0x1234, 0x5678);
        return c;
    }

    // depth: hubs above this one; hasNode: whether its node exists.
    json Hub(int depth, bool hasNode, uint32_t vid, uint32_t pid) {
        int walk = ++hubs_;
        json h = json::object();
        std::string name;
        if (Chance(2)) {
            name = HubName();
            h["name"] = name;
        } else if (depth == 0) {
            name = "USB#ROOT_HUB30#4&2a0c1f5&0&" + std::to_string(walk) + kHubGuid;
        } else {
            name = Printf("USB#VID_%04X&PID_%04X#6&2b8c9a1&0&", vid, pid) + std::to_string(walk) + kHubGuid;
        }
        names_.insert(name);
        if (Chance(10)) h["open"] = false;
        if (Chance(10)) h["node_info"] = false;
        int ports = Chance(8) ? Pick({0, 255, Range(0, 255)}) : Range(1, 6);
        if (ports != 4 || Chance(2)) h["ports"] = ports;
        if (Chance(3)) h["capabilities"] = Pick<json>({true, false, "fails"});
        if (Chance(10)) h["interface_detail"] = false;
        if (Chance(8)) h["interface_path"] = Chance(2) ? Text() : "\\\\?\\" + *names_.begin();
        if (depth == 0) {
            if (Chance(8)) {
                h["node"] = nullptr;
                hasNode = false;
            } else if (Chance(2)) {
                h["node"] = Node();
            }
        }
        if (hasNode) nodeHubs_.push_back(name);
        json connections = json::object();
        std::set<int> numbers;
        int highest = std::min(255, ports + 1);
        for (int n = Range(0, Chance(6) ? 12 : 4); n > 0 && ports_ < kMaxListedPorts; n--) {
            numbers.insert(Range(1, highest));
            ports_++;
        }
        for (int number : numbers) connections[std::to_string(number)] = Port(depth);
        if (!numbers.empty()) h["connections"] = connections;
        if (Chance(5)) {
            json extra = json::array();
            for (int n = Range(1, 3); n > 0; n--) extra.push_back(Chance(3) ? json(nullptr) : Node());
            h["extra_nodes"] = extra;
        }
        return h;
    }

    json Port(int depth) {
        json p = json::object();
        if (Chance(12)) p["query"] = "fails";
        if (Chance(6)) p["status"] = Chance(2) ? json(Range(0, 6)) : Number(0xFFFFFFFF);
        uint32_t vid = 0x1234, pid = 0x5678;
        if (Chance(3)) p["vid"] = vid = in_.ConsumeIntegral<uint16_t>();
        if (Chance(3)) p["pid"] = pid = in_.ConsumeIntegral<uint16_t>();
        if (Chance(3)) p["bcd_usb"] = Pick({0x0110, 0x0200, 0x0210, 0x0300, 0x0320});
        if (Chance(2)) p["speed"] = Chance(4) ? Range(0, 255) : Range(0, 4);
        if (Chance(6)) p["is_hub"] = Chance(2) != 0;
        // Refused; a USB 2 or a SuperSpeed port of an xHCI hub; anything.
        if (Chance(3))
            p["v2"] = Pick<json>({"fails", {{"protocols", 3}, {"flags", 0}},
                                  {{"protocols", 4}, {"flags", Range(0, 15)}},
                                  {{"protocols", Number(0xFFFFFFFF)}, {"flags", Number(0xFFFFFFFF)}}});
        if (Chance(3)) p["driver_key"] = Chance(4) ? json{{"error", Code()}} : json(Text());
        if (Chance(10)) p["node_name"] = "fails";
        bool hasNode = true;
        if (Chance(6)) {
            p["node"] = nullptr;
            hasNode = false;
        } else if (Chance(2)) {
            p["node"] = Node();
        }
        if (depth < maxDepth_ && hubs_ < kMaxHubs && Chance(depth == 0 ? 2 : 3))
            p["hub"] = Hub(depth + 1, hasNode, vid, pid);
        return p;
    }

    std::string Argument() {
        switch (Range(0, 5)) {
            case 0:
                return Pick({"-na", "/NA", "-w:0", "-w:25", "/W:-3", "-n:3", "-D:1", "-D:3", "-?",
                             "-h", "-x", "-", "/", "-l"});
            case 1: {
                std::string chain = std::to_string(Range(1, 3));
                for (int n = Range(1, 3); n > 0; n--) chain += "-" + std::to_string(Range(1, 6));
                return chain;
            }
            case 2:
            case 3: {
                std::string id = pool_.empty() ? Text() : pool_[Range(0, int(pool_.size()) - 1)];
                if (!id.empty() && Chance(2)) id[Range(0, int(id.size()) - 1)] = Pick({'*', '?'});
                if (Chance(3)) id = "*" + id.substr(0, Range(0, int(id.size())));
                return id.find_first_of(" &") != std::string::npos ? "\"" + id + "\"" : id;
            }
            case 4:
                return "*";
            default:
                return in_.ConsumeRandomLengthString(Chance(10) ? 1400 : 30);
        }
    }

    std::string CommandLine() {
        std::string line = Pick({"tarvel", "\"C:\\Program Files\\tarvel.exe\"", "t"});
        for (int n = Range(0, 7); n > 0; n--) line += " " + Argument();
        return line.substr(0, line.find('\0'));
    }

    FuzzedDataProvider& in_;
    std::vector<std::string> pool_;      // texts worth reusing as IDs and keys
    std::set<std::string> names_;        // every hub name so far
    std::vector<std::string> nodeHubs_;  // hubs with a device node, for the hub set
    int hubs_ = 0;
    int ports_ = 0;
    int maxDepth_ = 5;
    int script_ = 0;  // the script of the machine's names, from its code pages
    bool lineFeed_ = false;
    bool fullNodeList_ = false;
};

}  // namespace

GeneratedRun GenerateRun(FuzzedDataProvider& in) { return Generator(in).Run(); }

}  // namespace tarvel::fuzz
