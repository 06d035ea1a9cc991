// Reading a profile from JSON. Every refusal names the source, the field path
// as written in the file ("sensors[3].channels[0].unit"), what was expected
// and what was found; unknown fields are refused too, since they are most
// often misspelt known ones.
#include "profile.h"

#include "station_geometry.h"

#include <nlohmann/json.hpp>

#include <cmath>
#include <cstdio>
#include <set>
#include <stdexcept>

namespace varnix::station {

namespace {

using nlohmann::json;

struct Refusal : std::runtime_error {
    using std::runtime_error::runtime_error;
};

constexpr int64_t kMaxFrameMultiple = 1000;
constexpr int64_t kMaxQueueCapacity = 100000;
constexpr int64_t kMaxSensorCount = 10000;
constexpr double kMaxRate = 1e6;
constexpr double kMaxDriftPpm = 100000;  // 10 %: beyond it no station keeps a frame clock
constexpr double kMaxJitterMs = 1000;
constexpr int64_t kMaxBurstEvery = 1000000;

const std::pair<const char*, SignalKind> kSignals[] = {
    {"emg", SignalKind::Emg},   {"acc", SignalKind::Acc},           {"gyro", SignalKind::Gyro},
    {"ramp", SignalKind::Ramp}, {"constant", SignalKind::Constant},
};

std::string Shown(const json& value) {
    std::string text = value.dump();
    if (text.size() > 40) {
        text = text.substr(0, 37) + "...";
    }
    return text;
}

[[noreturn]] void Refuse(const std::string& path, const std::string& expected, const json& got) {
    throw Refusal(path + ": expected " + expected + ", got " + Shown(got));
}

// What a refused rate should have been: whole samples per frame, and the
// nearest rates that give them.
std::string WholeSamplesExpected(int32_t frameMultiple, double rate) {
    const auto [below, above] = NearestWholeRates(frameMultiple, rate);
    char nearest[96];
    if (below > 0.0) {
        std::snprintf(nearest, sizeof nearest, "%.2f or %.2f", below, above);
    } else {
        std::snprintf(nearest, sizeof nearest, "%.2f or more", above);
    }
    return "a rate with a whole number of samples (at least one) per frame of " +
           std::to_string(frameMultiple) + " x 13.5 ms, within 0.01 Hz (a station delivers whole " +
           "samples per frame; " + nearest + " would do)";
}

void CheckFields(const json& object, const std::string& path, const std::set<std::string>& known) {
    for (auto field = object.begin(); field != object.end(); ++field) {
        if (known.count(field.key()) == 0) {
            std::string list;
            for (const std::string& name : known) {
                if (!list.empty()) list += ", ";
                list += name;
            }
            std::string where = path;
            if (!where.empty()) where += '.';
            where += field.key();
            where += ": expected one of the fields ";
            where += list;
            where += ", got an unknown field";
            throw Refusal(where);
        }
    }
}

std::string Text(const json& value, const std::string& path, bool nonEmpty) {
    if (!value.is_string() || (nonEmpty && value.get<std::string>().empty())) {
        Refuse(path, nonEmpty ? "a non-empty text" : "a text", value);
    }
    return value.get<std::string>();
}

int64_t Integer(const json& value, const std::string& path, int64_t low, int64_t high) {
    if (!value.is_number_integer() || value.get<int64_t>() < low || value.get<int64_t>() > high ||
        (value.is_number_unsigned() && value.get<uint64_t>() > static_cast<uint64_t>(high))) {
        Refuse(path, "a whole number from " + std::to_string(low) + " to " + std::to_string(high),
               value);
    }
    return value.get<int64_t>();
}

double PositiveNumber(const json& value, const std::string& path, double high) {
    if (!value.is_number() || !(value.get<double>() > 0.0) || value.get<double>() > high) {
        Refuse(path, "a positive number", value);
    }
    return value.get<double>();
}

const json& Required(const json& object, const std::string& path, const char* field) {
    const auto found = object.find(field);
    if (found == object.end()) {
        throw Refusal(path + (path.empty() ? "" : ".") + field +
                      ": expected a value, got nothing (the field is missing)");
    }
    return *found;
}

uint64_t Seed(const json& seed) {
    if (!seed.is_number_integer() || (!seed.is_number_unsigned() && seed.get<int64_t>() < 0)) {
        Refuse("seed", "a whole number from 0", seed);
    }
    return seed.get<uint64_t>();
}

std::string Expand(std::string name, int64_t number) {
    const std::string mark = "{n}";
    for (size_t at = name.find(mark); at != std::string::npos; at = name.find(mark, at)) {
        name.replace(at, mark.size(), std::to_string(number));
    }
    return name;
}

ChannelProfile ReadChannel(const json& entry, const std::string& path) {
    if (!entry.is_object()) {
        Refuse(path, "an object", entry);
    }
    CheckFields(entry, path, {"name", "unit", "components", "signal", "value"});
    ChannelProfile channel;
    channel.name = Text(Required(entry, path, "name"), path + ".name", true);
    channel.unit = Text(Required(entry, path, "unit"), path + ".unit", false);
    const json& components = Required(entry, path, "components");
    if (!components.is_array() || components.empty()) {
        Refuse(path + ".components", "a non-empty list of texts", components);
    }
    for (size_t k = 0; k < components.size(); ++k) {
        channel.components.push_back(
            Text(components[k], path + ".components[" + std::to_string(k) + "]", false));
    }
    const json& signal = Required(entry, path, "signal");
    bool known = false;
    for (const auto& [name, kind] : kSignals) {
        if (signal.is_string() && signal.get<std::string>() == name) {
            channel.signal = kind;
            known = true;
        }
    }
    if (!known) {
        Refuse(path + ".signal", "one of \"emg\", \"acc\", \"gyro\", \"ramp\", \"constant\"",
               signal);
    }
    if (entry.contains("value")) {
        const json& value = entry["value"];
        if (!value.is_number()) {
            Refuse(path + ".value", "a number", value);
        }
        channel.value = value.get<double>();
    }
    return channel;
}

void ReadSensors(const json& sensors, Profile& profile) {
    if (!sensors.is_array()) {
        Refuse("sensors", "a list of sensors", sensors);
    }
    std::set<std::string> names;
    for (size_t i = 0; i < sensors.size(); ++i) {
        const std::string path = "sensors[" + std::to_string(i) + "]";
        const json& entry = sensors[i];
        if (!entry.is_object()) {
            Refuse(path, "an object", entry);
        }
        CheckFields(entry, path, {"name", "count", "rate", "channels"});
        SensorProfile sensor;
        const std::string name = Text(Required(entry, path, "name"), path + ".name", true);
        const int64_t count = entry.contains("count")
                                  ? Integer(entry["count"], path + ".count", 1, kMaxSensorCount)
                                  : 1;
        sensor.rate = PositiveNumber(Required(entry, path, "rate"), path + ".rate", kMaxRate);
        if (!SamplesPerStream(profile.frameMultiple, sensor.rate)) {
            Refuse(path + ".rate", WholeSamplesExpected(profile.frameMultiple, sensor.rate),
                   entry["rate"]);
        }
        const json& channels = Required(entry, path, "channels");
        if (!channels.is_array() || channels.empty()) {
            Refuse(path + ".channels", "a non-empty list of channels", channels);
        }
        std::set<std::string> channelNames;
        for (size_t c = 0; c < channels.size(); ++c) {
            const std::string channelPath = path + ".channels[" + std::to_string(c) + "]";
            sensor.channels.push_back(ReadChannel(channels[c], channelPath));
            if (!channelNames.insert(sensor.channels.back().name).second) {
                Refuse(channelPath + ".name", "a channel name not used before in this sensor",
                       channels[c]["name"]);
            }
        }
        for (int64_t n = 1; n <= count; ++n) {
            sensor.name = Expand(name, n);
            if (!names.insert(sensor.name).second) {
                Refuse(path + ".name",
                       "a sensor name used by no other sensor (add \"{n}\" when count > 1)",
                       json(sensor.name));
            }
            profile.sensors.push_back(sensor);
        }
    }
}

double Number(const json& value, const std::string& path, double low, double high) {
    if (!value.is_number() || !(value.get<double>() >= low) || !(value.get<double>() <= high)) {
        char range[96];
        std::snprintf(range, sizeof range, "a number from %g to %g", low, high);
        Refuse(path, range, value);
    }
    return value.get<double>();
}

// The station's clock and delivery (frame_timing.h): fields of either kind
// of profile.
const char* const kTimingFields[] = {"clockDriftPpm", "clockDriftStep", "deliveryJitterMs",
                                     "burstEvery"};

TimingOptions ReadTiming(const json& document) {
    TimingOptions timing;
    if (document.contains("clockDriftPpm")) {
        timing.clockDriftPpm =
            Number(document["clockDriftPpm"], "clockDriftPpm", -kMaxDriftPpm, kMaxDriftPpm);
    }
    if (document.contains("clockDriftStep")) {
        const json& step = document["clockDriftStep"];
        if (!step.is_object()) {
            Refuse("clockDriftStep", "an object with afterMs and ppm", step);
        }
        CheckFields(step, "clockDriftStep", {"afterMs", "ppm"});
        DriftStep drift;
        drift.afterMs = Integer(Required(step, "clockDriftStep", "afterMs"),
                                "clockDriftStep.afterMs", 0, int64_t{1} << 40);
        drift.ppm = Number(Required(step, "clockDriftStep", "ppm"), "clockDriftStep.ppm",
                           -kMaxDriftPpm, kMaxDriftPpm);
        timing.driftStep = drift;
    }
    if (document.contains("deliveryJitterMs")) {
        timing.deliveryJitterMs =
            Number(document["deliveryJitterMs"], "deliveryJitterMs", 0.0, kMaxJitterMs);
    }
    if (document.contains("burstEvery")) {
        timing.burstEvery =
            static_cast<int32_t>(Integer(document["burstEvery"], "burstEvery", 2, kMaxBurstEvery));
    }
    return timing;
}

std::set<std::string> WithTiming(std::set<std::string> fields) {
    fields.insert(std::begin(kTimingFields), std::end(kTimingFields));
    return fields;
}

const std::pair<const char*, GroupRule> kGroupRules[] = {
    {"auto", GroupRule::kAuto},
    {"names", GroupRule::kNames},
    {"signal", GroupRule::kSignal},
    {"label", GroupRule::kLabel},
};

// A relative recording path is taken from the profile file's folder.
std::string RecordingPath(const std::string& path, const std::string& source) {
    const size_t slash = source.rfind('/');
    if (path.empty() || path[0] == '/' || source.empty() || source[0] == '(' ||
        slash == std::string::npos) {
        return path;
    }
    return source.substr(0, slash + 1) + path;
}

Profile ReadReplayProfile(const json& document, const std::string& source) {
    CheckFields(document, "",
                WithTiming({"name", "description", "replay", "loop", "frameMultiple", "group",
                            "from", "queueCapacity", "seed"}));
    Profile profile;
    profile.timing = ReadTiming(document);
    if (document.contains("seed")) {
        profile.seed = Seed(document["seed"]);
    }
    ReplayProfile replay;
    replay.path = RecordingPath(Text(document["replay"], "replay", true), source);
    if (document.contains("name")) {
        profile.name = Text(document["name"], "name", false);
    }
    if (document.contains("description")) {
        Text(document["description"], "description", false);
    }
    if (document.contains("loop")) {
        if (!document["loop"].is_boolean()) {
            Refuse("loop", "true or false", document["loop"]);
        }
        replay.loop = document["loop"].get<bool>();
    }
    if (document.contains("frameMultiple")) {
        replay.frameMultiple = static_cast<int32_t>(
            Integer(document["frameMultiple"], "frameMultiple", 1, kMaxFrameMultiple));
    }
    if (document.contains("group")) {
        const json& group = document["group"];
        bool known = false;
        for (const auto& [name, rule] : kGroupRules) {
            if (group.is_string() && group.get<std::string>() == name) {
                replay.group = rule;
                known = true;
            }
        }
        if (!known) {
            Refuse("group", "one of \"auto\", \"names\", \"signal\", \"label\"", group);
        }
    }
    if (document.contains("from")) {
        const json& from = document["from"];
        if (!from.is_number() || !(from.get<double>() >= 0.0) || from.get<double>() > 1e9) {
            Refuse("from", "a number of seconds from 0", from);
        }
        replay.fromS = from.get<double>();
    }
    if (document.contains("queueCapacity")) {
        profile.queueCapacity = static_cast<size_t>(
            Integer(document["queueCapacity"], "queueCapacity", 1, kMaxQueueCapacity));
    }
    profile.replay = replay;
    return profile;
}

Profile ReadProfile(const json& document, const std::string& source) {
    if (!document.is_object()) {
        Refuse("(document)", "an object", document);
    }
    if (document.contains("replay")) {
        return ReadReplayProfile(document, source);
    }
    CheckFields(document, "",
                WithTiming({"name", "description", "seed", "frameMultiple", "queueCapacity",
                            "startPulseAfterMs", "stopPulseAfterMs", "sensors"}));
    Profile profile;
    profile.timing = ReadTiming(document);
    if (document.contains("name")) {
        profile.name = Text(document["name"], "name", false);
    }
    if (document.contains("description")) {
        Text(document["description"], "description", false);
    }
    if (document.contains("seed")) {
        profile.seed = Seed(document["seed"]);
    }
    if (document.contains("frameMultiple")) {
        profile.frameMultiple = static_cast<int32_t>(
            Integer(document["frameMultiple"], "frameMultiple", 1, kMaxFrameMultiple));
    }
    if (document.contains("queueCapacity")) {
        profile.queueCapacity = static_cast<size_t>(
            Integer(document["queueCapacity"], "queueCapacity", 1, kMaxQueueCapacity));
    }
    for (const char* pulse : {"startPulseAfterMs", "stopPulseAfterMs"}) {
        if (document.contains(pulse)) {
            const int64_t ms = Integer(document[pulse], pulse, 0, int64_t{1} << 40);
            (std::string(pulse) == "startPulseAfterMs" ? profile.startPulseAfterMs
                                                       : profile.stopPulseAfterMs) = ms;
        }
    }
    ReadSensors(Required(document, "", "sensors"), profile);
    return profile;
}

}  // namespace

bool ParseProfile(const std::string& text, const std::string& source, Profile& out,
                  std::string& error) {
    const std::string prefix = "station profile " + source + ": ";
    try {
        json document;
        try {
            document = json::parse(text);
        } catch (const json::parse_error& failure) {
            error = prefix + "(document): expected valid JSON, got an error at byte " +
                    std::to_string(failure.byte) + " (" + failure.what() + ")";
            return false;
        }
        out = ReadProfile(document, source);
        error.clear();
        return true;
    } catch (const Refusal& refusal) {
        error = prefix + refusal.what();
    } catch (const std::exception& failure) {
        error = prefix + "(document): expected a readable profile, got " + failure.what();
    }
    return false;
}

}  // namespace varnix::station
