// Lab files: JSON in, LabDescription out. Every refusal names the file, the JSON path and the problem,
// and unknown keys are refused so a misspelt option never passes silently.
#include <algorithm>
#include <cctype>
#include <fstream>
#include <iterator>
#include <limits>
#include <set>
#include <sstream>

#include <nlohmann/json.hpp>

#include "platform/sim/SimLab.h"

namespace vellumin::platform::sim {

namespace {

using Json = nlohmann::json;

// A JSON value with its place in the file.
class Node {
public:
    Node(const Json& value, std::string path, const std::string& source)
        : m_value(value), m_path(std::move(path)), m_source(source) {}

    [[noreturn]] void Fail(const std::string& problem) const {
        throw LabError(m_source + ": " + (m_path.empty() ? "(top level)" : m_path) + ": " + problem);
    }

    const Json& Value() const { return m_value; }

    Node Child(const std::string& key) const {
        return Node(m_value.at(key), m_path.empty() ? key : m_path + "." + key, m_source);
    }
    Node Element(size_t i) const { return Node(m_value.at(i), m_path + "[" + std::to_string(i) + "]", m_source); }

    void ExpectObject() const {
        if (!m_value.is_object()) {
            Fail("expected an object, found " + TypeName());
        }
    }
    void ExpectArray() const {
        if (!m_value.is_array()) {
            Fail("expected an array, found " + TypeName());
        }
    }

    std::string String() const {
        if (!m_value.is_string()) {
            Fail("expected a string, found " + TypeName());
        }
        return m_value.get<std::string>();
    }

    bool Bool() const {
        if (!m_value.is_boolean()) {
            Fail("expected true or false, found " + TypeName());
        }
        return m_value.get<bool>();
    }

    // A whole number, as a JSON number or a text in decimal or 0x hexadecimal.
    uint64_t Unsigned(uint64_t max = std::numeric_limits<uint64_t>::max()) const {
        uint64_t v = 0;
        if (m_value.is_number_unsigned()) {
            v = m_value.get<uint64_t>();
        } else if (m_value.is_number_integer()) {
            Fail("value " + m_value.dump() + " is negative");
        } else if (m_value.is_string()) {
            v = ParseNumberText(m_value.get<std::string>());
        } else {
            Fail("expected a whole number, found " + TypeName());
        }
        if (v > max) {
            Fail("value " + std::to_string(v) + " is out of range 0-" + std::to_string(max));
        }
        return v;
    }

    int64_t Signed(int64_t min, int64_t max) const {
        if (!m_value.is_number_integer()) {
            Fail("expected a whole number, found " + TypeName());
        }
        const int64_t v = m_value.get<int64_t>();
        if (v < min || v > max) {
            Fail("value " + std::to_string(v) + " is out of range " + std::to_string(min) + "-" + std::to_string(max));
        }
        return v;
    }

    uint64_t ParseNumberText(const std::string& text) const {
        const bool hex = text.size() > 2 && text[0] == '0' && (text[1] == 'x' || text[1] == 'X');
        const std::string digits = hex ? text.substr(2) : text;
        if (digits.empty() || digits.size() > 16 ||
            !std::all_of(digits.begin(), digits.end(),
                         [&](unsigned char c) { return hex ? std::isxdigit(c) != 0 : std::isdigit(c) != 0; })) {
            Fail("\"" + text + "\" is not a number (decimal or 0x hexadecimal)");
        }
        try {
            return std::stoull(digits, nullptr, hex ? 16 : 10);
        } catch (const std::exception&) {
            Fail("\"" + text + "\" is too large");
        }
    }

    std::string TypeName() const {
        if (m_value.is_null()) return "null";
        if (m_value.is_boolean()) return "true/false";
        if (m_value.is_number()) return "a number";
        if (m_value.is_string()) return "a string";
        if (m_value.is_array()) return "an array";
        return "an object";
    }

private:
    const Json& m_value;
    std::string m_path;
    const std::string& m_source;
};

// Reads the keys of one object; Finish refuses any key nobody asked for.
class ObjectReader {
public:
    explicit ObjectReader(const Node& node) : m_node(node) { node.ExpectObject(); }

    bool Has(const std::string& key) {
        m_known.insert(key);
        return m_node.Value().contains(key);
    }
    std::optional<Node> Get(const std::string& key) {
        if (!Has(key)) {
            return std::nullopt;
        }
        return m_node.Child(key);
    }
    void Require(const std::string& key) {
        if (!Has(key)) {
            m_node.Fail("missing key \"" + key + "\"");
        }
    }
    void Finish() const {
        for (const auto& [key, value] : m_node.Value().items()) {
            if (!m_known.count(key)) {
                m_node.Child(key).Fail("unknown key");
            }
        }
    }

    template <typename T>
    void Unsigned(const std::string& key, T& out, uint64_t max = std::numeric_limits<T>::max()) {
        if (auto n = Get(key)) {
            out = static_cast<T>(n->Unsigned(max));
        }
    }
    void Bool(const std::string& key, bool& out) {
        if (auto n = Get(key)) {
            out = n->Bool();
        }
    }
    void String(const std::string& key, std::string& out, size_t maxLength = std::string::npos) {
        if (auto n = Get(key)) {
            out = n->String();
            if (out.size() > maxLength) {
                n->Fail("longer than " + std::to_string(maxLength) + " characters");
            }
        }
    }

private:
    Node m_node;
    std::set<std::string> m_known;
};

std::vector<uint8_t> Bytes(const Node& node, size_t expected) {
    std::string digits;
    for (char c : node.String()) {
        if (!std::isspace(static_cast<unsigned char>(c))) {
            if (!std::isxdigit(static_cast<unsigned char>(c))) {
                node.Fail(std::string("'") + c + "' is not a hexadecimal digit");
            }
            digits += c;
        }
    }
    if (digits.size() != 2 * expected) {
        node.Fail("expected " + std::to_string(expected) + " bytes (" + std::to_string(2 * expected) +
                  " hex digits), found " + std::to_string(digits.size()) + " digits");
    }
    std::vector<uint8_t> bytes(expected);
    for (size_t i = 0; i < expected; ++i) {
        bytes[i] = static_cast<uint8_t>(std::stoul(digits.substr(2 * i, 2), nullptr, 16));
    }
    return bytes;
}

ata::IdentifyBlock Block(const Node& node) {
    const auto bytes = Bytes(node, 512);
    ata::IdentifyBlock block{};
    std::copy(bytes.begin(), bytes.end(), block.begin());
    return block;
}

Password PasswordValue(const Node& node, bool hex) {
    if (hex) {
        const auto bytes = Bytes(node, 32);
        Password p{};
        std::copy(bytes.begin(), bytes.end(), p.begin());
        return p;
    }
    const std::string text = node.String();
    if (text.size() > 32) {
        node.Fail("longer than 32 characters");
    }
    return PasswordFromText(text);
}

std::vector<uint8_t> CommandList(const Node& node) {
    node.ExpectArray();
    std::vector<uint8_t> list;
    for (size_t i = 0; i < node.Value().size(); ++i) {
        list.push_back(static_cast<uint8_t>(node.Element(i).Unsigned(0xFF)));
    }
    return list;
}

template <typename V>
void Overrides(const Node& node, std::map<int, V>& out, int lastIndex, const char* what) {
    node.ExpectObject();
    for (const auto& [key, value] : node.Value().items()) {
        const Node child = node.Child(key);
        const uint64_t index = child.ParseNumberText(key);
        if (index > static_cast<uint64_t>(lastIndex)) {
            child.Fail(std::string(what) + " " + key + " is outside 0-" + std::to_string(lastIndex));
        }
        out[static_cast<int>(index)] = static_cast<V>(child.Unsigned(std::numeric_limits<V>::max()));
    }
}

// Attribute lists named once at the top of a lab and referred to by drives of one family.
using SmartTables = std::map<std::string, std::vector<SmartAttribute>>;

std::vector<SmartAttribute> AttributeList(const Node& list) {
    list.ExpectArray();
    if (list.Value().size() > 30) {
        list.Fail("more than 30 attribute slots");
    }
    std::vector<SmartAttribute> attributes;
    for (size_t i = 0; i < list.Value().size(); ++i) {
        ObjectReader a(list.Element(i));
        SmartAttribute attribute;
        a.Require("id");
        a.Unsigned("id", attribute.id);
        a.Unsigned("flags", attribute.flags);
        a.Unsigned("current", attribute.current);
        a.Unsigned("worst", attribute.worst);
        a.Unsigned("raw", attribute.raw, (uint64_t{1} << 48) - 1);
        a.Unsigned("reserved", attribute.reserved);
        a.Finish();
        attributes.push_back(attribute);
    }
    return attributes;
}

void ParseSmart(const Node& node, SmartDescription& smart, const SmartTables& tables) {
    ObjectReader r(node);
    r.Bool("supported", smart.supported);
    r.Bool("enabled", smart.enabled);
    r.Unsigned("revision", smart.revision);
    r.String("controller", smart.controller, 10);
    if (auto list = r.Get("attributes")) {
        if (list->Value().is_string()) {
            const auto table = tables.find(list->String());
            if (table == tables.end()) {
                list->Fail("no table \"" + list->String() + "\" in smartTables");
            }
            smart.attributes = table->second;
        } else {
            smart.attributes = AttributeList(*list);
        }
    }
    r.Unsigned("averageErase", smart.averageErase, 0xFFFFFF);
    r.Unsigned("maximumErase", smart.maximumErase, 0xFFFFFF);
    r.Unsigned("minimumErase", smart.minimumErase, 0xFFFFFF);
    if (auto codes = r.Get("vendorErase")) {
        smart.vendorEraseCodes = CommandList(*codes);
    }
    r.Finish();
}

void ParseSecurity(const Node& node, SecurityDescription& sec) {
    ObjectReader r(node);
    r.Bool("supported", sec.supported);
    r.Bool("enhancedErase", sec.enhancedEraseSupported);
    r.Unsigned("eraseTime", sec.eraseTime);
    r.Unsigned("enhancedEraseTime", sec.enhancedEraseTime);
    r.Bool("frozenAtPowerOn", sec.frozenAtPowerOn);
    r.Bool("startFrozen", sec.startFrozen);
    if (auto n = r.Get("userPassword"); n && !n->Value().is_null()) {
        sec.userPassword = PasswordValue(*n, false);
    }
    if (auto n = r.Get("userPasswordHex")) {
        if (sec.userPassword) {
            n->Fail("give either userPassword or userPasswordHex");
        }
        sec.userPassword = PasswordValue(*n, true);
    }
    if (auto n = r.Get("masterPassword")) {
        sec.masterPassword = PasswordValue(*n, false);
    }
    if (auto n = r.Get("masterPasswordHex")) {
        sec.masterPassword = PasswordValue(*n, true);
    }
    r.Unsigned("masterPasswordId", sec.masterPasswordId);
    if (auto n = r.Get("level")) {
        const std::string level = n->String();
        if (level == "high") {
            sec.level = SecurityLevel::High;
        } else if (level == "maximum") {
            sec.level = SecurityLevel::Maximum;
        } else {
            n->Fail("expected \"high\" or \"maximum\", found \"" + level + "\"");
        }
    }
    r.Bool("startUnlocked", sec.startUnlocked);
    r.Bool("startExpired", sec.startExpired);
    r.Bool("staysFrozen", sec.staysFrozen);
    r.Finish();
    if (sec.startUnlocked && !sec.userPassword) {
        node.Fail("startUnlocked needs a userPassword");
    }
}

void ParseTransport(const Node& node, TransportDescription& t) {
    ObjectReader r(node);
    r.Bool("present", t.present);
    r.Bool("openFails", t.openFails);
    if (auto n = r.Get("openErrno")) {
        t.openErrno = static_cast<int>(n->Unsigned(4095));
    }
    r.Bool("heldByAnotherProgram", t.heldByAnotherProgram);
    r.Bool("sectorCountFails", t.sectorCountFails);
    if (auto n = r.Get("undelivered")) {
        t.undeliveredCommands = CommandList(*n);
    }
    if (auto n = r.Get("aborted")) {
        t.abortedCommands = CommandList(*n);
    }
    if (auto n = r.Get("undeliveredSmart")) {
        t.undeliveredSmartFeatures = CommandList(*n);
    }
    if (auto n = r.Get("openFailsAfter")) {
        t.openFailsAfter = static_cast<uint32_t>(n->Unsigned(std::numeric_limits<uint32_t>::max()));
    }
    r.Finish();
}

DriveDescription ParseDrive(const Node& node, int& slot, size_t index, const SmartTables& tables) {
    DriveDescription d;
    ObjectReader r(node);
    slot = static_cast<int>(index);
    if (auto n = r.Get("slot")) {
        slot = static_cast<int>(n->Unsigned(kSlotCount - 1));
    } else if (index >= static_cast<size_t>(kSlotCount)) {
        // Its place in the list would be its slot, and the lab has no such slot.
        node.Fail("no slot left: a lab holds " + std::to_string(kSlotCount) + " drives (slots 0-" +
                  std::to_string(kSlotCount - 1) + ")");
    }
    if (auto n = r.Get("identifyHex")) {
        d.identifyRaw = Block(*n);
    }
    if (auto n = r.Get("smartHex")) {
        d.smartRaw = Block(*n);
    }
    const bool raw = d.identifyRaw.has_value();
    for (const char* key : {"serial", "firmware", "model", "rotationRate", "sataGen", "ncq", "ataMajor",
                            "apmSupported", "apmEnabled", "trim", "udmaMode"}) {
        if (raw && r.Has(key)) {
            node.Child(key).Fail("comes from identifyHex; change it with identifyWords");
        }
    }
    r.String("serial", d.serial, 20);
    r.String("firmware", d.firmware, 8);
    r.String("model", d.model, 40);
    r.Unsigned("sectors", d.sectors, (uint64_t{1} << 48) - 1);
    if (auto n = r.Get("reportedSectors")) {
        d.reportedSectors = n->Unsigned();
    }
    r.Unsigned("rotationRate", d.rotationRate);
    if (auto n = r.Get("sataGen")) {
        d.sataGen = static_cast<int>(n->Unsigned(3));
    }
    r.Bool("ncq", d.ncq);
    if (auto n = r.Get("ataMajor")) {
        d.ataMajor = static_cast<int>(n->Unsigned(8));
    }
    r.Bool("apmSupported", d.apmSupported);
    r.Bool("apmEnabled", d.apmEnabled);
    r.Bool("trim", d.trim);
    if (auto n = r.Get("udmaMode")) {
        d.udmaMode = static_cast<int>(n->Signed(-1, 6));
    }
    if (auto n = r.Get("smart")) {
        if (d.smartRaw) {
            n->Fail("give either smart or smartHex");
        }
        ParseSmart(*n, d.smart, tables);
    }
    if (auto n = r.Get("vendorErase")) {
        d.smart.vendorEraseCodes = CommandList(*n);
    }
    const auto security = r.Get("security");
    if (security) {
        ParseSecurity(*security, d.security);
    }
    if (auto list = r.Get("faults")) {
        list->ExpectArray();
        for (size_t i = 0; i < list->Value().size(); ++i) {
            ObjectReader f(list->Element(i));
            MediaFault fault;
            f.Require("lba");
            f.Unsigned("lba", fault.lba);
            f.Unsigned("count", fault.count);
            f.Unsigned("error", fault.error);
            f.Bool("deviceFault", fault.deviceFault);
            f.Finish();
            if (fault.count == 0) {
                list->Element(i).Child("count").Fail("must be at least 1");
            }
            d.faults.push_back(fault);
        }
    }
    if (auto n = r.Get("transport")) {
        ParseTransport(*n, d.transport);
    }
    if (auto n = r.Get("connection")) {
        const std::string key = n->String();
        const auto connection = ConnectionFromKey(key);
        if (!connection) {
            n->Fail("expected \"sata\", \"usb\", \"sas\", \"raid\", \"nvme\", \"virtual\" or "
                    "\"unknown\", found \"" + key + "\"");
        }
        d.connection = *connection;
    }
    if (auto n = r.Get("readData")) {
        const std::string mode = n->String();
        if (mode == "untouched") {
            d.readData = ReadData::Untouched;
        } else if (mode == "content") {
            d.readData = ReadData::Content;
        } else {
            n->Fail("expected \"untouched\" or \"content\", found \"" + mode + "\"");
        }
    }
    r.Unsigned("eraseMilliseconds", d.eraseMilliseconds);
    r.Unsigned("readLatencyMicroseconds", d.readLatencyMicroseconds);
    r.Bool("mediaBlank", d.mediaBlank);
    if (auto n = r.Get("slotAfterReplug")) {
        d.slotAfterReplug = static_cast<int>(n->Unsigned(kSlotCount - 1));
    }
    if (auto n = r.Get("identifyWords")) {
        Overrides(*n, d.identifyWords, 255, "word");
    }
    if (auto n = r.Get("identifyBytes")) {
        Overrides(*n, d.identifyBytes, 511, "byte");
    }
    if (auto n = r.Get("smartBytes")) {
        Overrides(*n, d.smartBytes, 511, "byte");
    }
    r.Bool("keepIdentifyChecksum", d.keepIdentifyChecksum);
    r.Bool("keepSmartChecksum", d.keepSmartChecksum);
    r.String("note", d.note);
    r.Finish();

    if (raw) {
        AdoptRawIdentify(d, security.has_value());
    }
    if (d.sectors == 0) {
        node.Fail(raw ? "the identify block reports no capacity; give \"sectors\"" : "missing key \"sectors\"");
    }
    if (!raw && d.model.empty()) {
        node.Fail("missing key \"model\"");
    }
    return d;
}

void ParseOs(const Node& node, LabOs& os) {
    ObjectReader r(node);
    OsVersionRecord& v = os.version;
    r.Bool("windows", v.windows);
    r.Unsigned("platformId", v.platformId);
    r.Unsigned("major", v.major);
    r.Unsigned("minor", v.minor);
    r.Unsigned("build", v.build);
    r.String("servicePack", v.servicePack, 127);
    r.Unsigned("productType", v.productType);
    r.String("name", v.name);
    r.Bool("is64Bit", os.is64Bit);
    if (auto n = r.Get("serverR2")) {
        os.serverR2 = static_cast<int>(n->Signed(std::numeric_limits<int>::min(), std::numeric_limits<int>::max()));
    }
    r.String("wmiVersion", os.wmiVersion);
    r.Bool("versionCallFails", os.versionCallFails);
    r.Bool("trimService", os.trimService);
    r.Finish();
}

void ParseMachine(const Node& node, MachineFacts& m) {
    ObjectReader r(node);
    if (auto n = r.Get("os")) {
        ParseOs(*n, m.os);
    }
    r.Bool("trimEnabled", m.trimEnabled);
    if (auto n = r.Get("trimCommand")) {
        static constexpr std::pair<const char*, LabTrimCommand> kModes[] = {
            {"works", LabTrimCommand::Works},
            {"cannotStart", LabTrimCommand::CannotStart},
            {"writesNothing", LabTrimCommand::WritesNothing},
            {"noNumber", LabTrimCommand::NoNumber},
        };
        const std::string mode = n->String();
        const auto* found = std::find_if(std::begin(kModes), std::end(kModes),
                                         [&](const auto& m) { return mode == m.first; });
        if (found == std::end(kModes)) {
            n->Fail("expected \"works\", \"cannotStart\", \"writesNothing\" or \"noNumber\", found \"" +
                    mode + "\"");
        }
        m.trimCommand = found->second;
    }
    r.String("windowsDirectory", m.windowsDirectory, 259);
    r.String("systemDirectory", m.systemDirectory, 259);
    r.Bool("shellOpenSucceeds", m.shellOpenSucceeds);
    r.Bool("restartSucceeds", m.restartSucceeds);
    r.Bool("restartRequested", m.restartRequested);
    r.Bool("canSuspend", m.canSuspend);
    r.Bool("suspendSucceeds", m.suspendSucceeds);
    if (auto list = r.Get("firmwareAnswers")) {
        list->ExpectArray();
        for (size_t i = 0; i < list->Value().size(); ++i) {
            ObjectReader a(list->Element(i));
            FirmwareAnswer answer;
            a.String("model", answer.model);
            a.String("firmware", answer.firmware);
            a.String("wono", answer.wono);
            a.Require("reply");
            a.String("reply", answer.reply);
            a.Unsigned("status", answer.status, 599);
            if (a.Get("cutAfter")) {
                answer.cutAfter.emplace();
                a.Unsigned("cutAfter", *answer.cutAfter);
            }
            a.Finish();
            m.firmwareAnswers.push_back(answer);
        }
    }
    if (auto list = r.Get("firmwareFiles")) {
        list->ExpectArray();
        for (size_t i = 0; i < list->Value().size(); ++i) {
            ObjectReader f(list->Element(i));
            FirmwareFile file;
            f.String("path", file.path);
            f.String("content", file.content);
            f.Unsigned("size", file.size, uint64_t{1} << 32);
            f.Unsigned("status", file.status, 599);
            if (f.Get("cutAfter")) {
                file.cutAfter.emplace();
                f.Unsigned("cutAfter", *file.cutAfter);
            }
            f.Bool("announceLength", file.announceLength);
            f.Unsigned("bytesPerSecond", file.bytesPerSecond);
            f.Finish();
            if (file.path.empty() || file.path[0] != '/') {
                list->Element(i).Fail("\"path\" must be a URL path beginning with /");
            }
            m.firmwareFiles.push_back(file);
        }
    }
    r.Finish();
}

// "line L, column C" of a byte offset, for syntax errors.
std::string Place(const std::string& text, size_t offset) {
    offset = std::min(offset, text.size());
    size_t line = 1;
    size_t column = 1;
    for (size_t i = 0; i + 1 < offset; ++i) {
        if (text[i] == '\n') {
            ++line;
            column = 1;
        } else {
            ++column;
        }
    }
    return "line " + std::to_string(line) + ", column " + std::to_string(column);
}

}  // namespace

LabDescription ParseLab(const std::string& json, const std::string& sourceName) {
    Json document;
    try {
        document = Json::parse(json);
    } catch (const Json::parse_error& e) {
        std::string what = e.what();
        // Drop the library's own "[json.exception.parse_error.101] parse error at line..:" lead.
        if (auto colon = what.find(": "); colon != std::string::npos) {
            what = what.substr(colon + 2);
        }
        throw LabError(sourceName + ": " + Place(json, e.byte) + ": invalid JSON: " + what);
    } catch (const Json::out_of_range& e) {
        // A number too large for any type ("12e0833") is refused by the reader this way.
        std::string what = e.what();
        if (auto space = what.find("] "); space != std::string::npos) {
            what = what.substr(space + 2);
        }
        throw LabError(sourceName + ": invalid JSON: " + what);
    }

    LabDescription lab;
    lab.source = sourceName;
    lab.json = json;
    const Node root(document, "", sourceName);
    ObjectReader r(root);
    SmartTables tables;
    if (auto named = r.Get("smartTables")) {
        named->ExpectObject();
        for (const auto& [name, list] : named->Value().items()) {
            tables[name] = AttributeList(named->Child(name));
        }
    }
    if (auto drives = r.Get("drives")) {
        drives->ExpectArray();
        for (size_t i = 0; i < drives->Value().size(); ++i) {
            const Node node = drives->Element(i);
            int slot = 0;
            DriveDescription drive = ParseDrive(node, slot, i, tables);
            if (lab.drives[slot]) {
                node.Fail("slot " + std::to_string(slot) + " is used twice");
            }
            lab.drives[slot] = std::move(drive);
        }
    }
    if (auto volumes = r.Get("volumes")) {
        volumes->ExpectArray();
        std::set<std::string> names;
        for (size_t i = 0; i < volumes->Value().size(); ++i) {
            ObjectReader v(volumes->Element(i));
            VolumeDescription volume;
            v.String("name", volume.name);
            if (auto n = v.Get("disk")) {
                volume.disk = static_cast<int>(n->Signed(-1, kSlotCount - 1));
            }
            v.Bool("removable", volume.removable);
            if (auto n = v.Get("diskAfterReplug")) {
                lab.disksAfterReplug[volume.name] = static_cast<int>(n->Signed(-1, kSlotCount - 1));
            }
            v.Finish();
            if (volume.name.empty()) {
                volumes->Element(i).Fail("missing key \"name\"");
            }
            if (!names.insert(volume.name).second) {
                volumes->Element(i).Child("name").Fail("volume \"" + volume.name + "\" is listed twice");
            }
            lab.volumes.push_back(volume);
        }
    }
    if (auto machine = r.Get("machine")) {
        ParseMachine(*machine, lab.machine);
    }
    std::string note;
    r.String("note", note);
    r.Finish();
    return lab;
}

LabDescription LoadLabFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    if (!in) {
        throw LabError(path + ": cannot be opened");
    }
    std::ostringstream text;
    text << in.rdbuf();
    if (in.bad()) {
        throw LabError(path + ": cannot be read");
    }
    return ParseLab(text.str(), path);
}

}  // namespace vellumin::platform::sim
