// Builds the simulator's answers and faults from a scenario's JSON text.
#include "tools/statusd/scenario.h"

#include <nlohmann/json.hpp>

#include "query/text.h"
#include "status/protocol.h"
#include "tools/statusd/default_scenario.h"

using nlohmann::json;

namespace {
struct Server {
    std::string Name;
    bool Down;
    unsigned Players;
    int Zones;
};

void Put16(Datagram& bytes, unsigned value) {
    bytes.push_back(static_cast<unsigned char>(value >> 8));
    bytes.push_back(static_cast<unsigned char>(value & 0xFF));
}

Datagram WithCode(const unsigned char* code) { return Datagram(code, code + REQUEST_SIZE); }

// The scenario's text (JSON, so UTF-8) in the service's code page, Latin-1, as the service sends it.
std::string ServiceText(const std::string& utf8, const char* what) {
    std::string latin1;
    if (!Utf8ToLatin1(utf8, latin1)) throw std::runtime_error(std::string(what) + " must be Latin-1 text");
    return latin1;
}

Server ReadServer(const json& entry, int& group) {
    Server server{ServiceText(entry.at("name").get<std::string>(), "a name"), false, 0, entry.value("zones", 0)};
    group = entry.value("group", 2);
    const json& players = entry.at("players");
    if (players.is_string()) {
        if (players.get<std::string>() != "DOWN") throw std::runtime_error("players must be a number or \"DOWN\"");
        server.Down = true;
    } else {
        const int count = players.get<int>();
        if (count < 0 || count > 65534) throw std::runtime_error("players must lie in 0 to 65534");
        server.Players = static_cast<unsigned>(count);
    }
    if (server.Zones < -128 || server.Zones > 127) throw std::runtime_error("zones must lie in -128 to 127");
    if (server.Name.find('\0') != std::string::npos) throw std::runtime_error("a name holds no NUL");
    return server;
}

// The names answer lists the first group, then the second; the status answer holds one
// first-group count (the layout the service uses) and the second group's records.
void BuildAnswers(const json& servers, Scenario& scenario) {
    std::vector<Server> first, second;
    for (const json& entry : servers) {
        int group = 2;
        Server server = ReadServer(entry, group);
        if (group != 1 && group != 2) throw std::runtime_error("group must be 1 or 2");
        (group == 1 ? first : second).push_back(server);
    }
    if (first.size() != 1) throw std::runtime_error("exactly one server of group 1 is needed (use status_hex for others)");
    if (second.size() > 126) throw std::runtime_error("at most 127 servers");

    Datagram names = WithCode(REQ_NAMES);
    names.push_back(static_cast<unsigned char>(first.size() + second.size()));
    names.push_back(0);
    for (const auto* group : {&first, &second})
        for (const Server& s : *group) {
            names.insert(names.end(), s.Name.begin(), s.Name.end());
            names.push_back(0);
        }
    if (names.size() > RECEIVE_SIZE) throw std::runtime_error("the names answer exceeds 4096 bytes");

    Datagram status = WithCode(REQ_STATUS);
    status.push_back(1);
    Put16(status, first[0].Down ? 0xFFFF : first[0].Players);
    status.push_back(static_cast<unsigned char>(second.size()));
    for (const Server& s : second) {
        Put16(status, s.Down ? 0xFFFF : s.Players);
        status.push_back(0);
        status.push_back(static_cast<unsigned char>(s.Zones));
    }
    while (status.size() < 10) status.push_back(0);
    scenario.NamesAnswer = names;
    scenario.StatusAnswer = status;
}

Datagram InjectionBytes(const json& entry) {
    const std::string kind = entry.at("kind").get<std::string>();
    if (kind == "short") return Datagram{0xFF, 0xFF};
    if (kind == "unknown") return Datagram{0xFF, 0xFF, 0x02, 0x00, 0x01};
    if (kind == "oversize") {
        Datagram bytes = WithCode(REQ_NAMES);
        bytes.resize(RECEIVE_SIZE + 1, 'x');
        return bytes;
    }
    if (kind == "hex") {
        Datagram bytes;
        if (!ParseHex(entry.at("hex").get<std::string>(), bytes)) throw std::runtime_error("bad hex in inject");
        return bytes;
    }
    throw std::runtime_error("inject kind must be short, unknown, oversize or hex");
}

void RawOverride(const json& doc, const char* key, Datagram& answer) {
    if (!doc.contains(key)) return;
    Datagram bytes;
    if (!ParseHex(doc.at(key).get<std::string>(), bytes)) throw std::runtime_error(std::string("bad hex in ") + key);
    if (bytes.size() > 65507) throw std::runtime_error(std::string(key) + " is too long for one datagram");
    answer = bytes;
}
}  // namespace

bool ParseHex(const std::string& hex, Datagram& bytes) {
    bytes.clear();
    int high = -1;
    for (char c : hex) {
        if (c == ' ' || c == '\n' || c == '\t' || c == ':') continue;
        int v;
        if (c >= '0' && c <= '9') v = c - '0';
        else if (c >= 'a' && c <= 'f') v = c - 'a' + 10;
        else if (c >= 'A' && c <= 'F') v = c - 'A' + 10;
        else return false;
        if (high < 0) high = v;
        else {
            bytes.push_back(static_cast<unsigned char>(high << 4 | v));
            high = -1;
        }
    }
    return high < 0;
}

bool ParseScenario(const std::string& text, Scenario& scenario, std::string& error) {
    try {
        const json doc = json::parse(text);
        scenario = Scenario{};
        BuildAnswers(doc.at("servers"), scenario);
        const std::string banner = ServiceText(doc.value("banner", std::string()), "the banner");
        scenario.BannerAnswer = WithCode(REQ_BANNER);
        scenario.BannerAnswer.insert(scenario.BannerAnswer.end(), banner.begin(), banner.end());
        scenario.BannerAnswer.push_back(0);
        RawOverride(doc, "names_hex", scenario.NamesAnswer);
        RawOverride(doc, "status_hex", scenario.StatusAnswer);
        RawOverride(doc, "banner_hex", scenario.BannerAnswer);
        scenario.Silent = doc.value("silent", false);
        scenario.StopAfter = doc.value("stop_after", 0.0);
        for (const json& entry : doc.value("inject", json::array())) {
            Injection injection;
            injection.After = entry.value("after", 0.0);
            injection.Count = entry.value("count", 1);
            if (injection.Count < 0 || injection.Count > 100000) throw std::runtime_error("inject count must lie in 0 to 100000");
            injection.Bytes = InjectionBytes(entry);
            scenario.Injections.push_back(injection);
        }
        return true;
    } catch (const std::exception& e) {
        error = e.what();
        return false;
    }
}
