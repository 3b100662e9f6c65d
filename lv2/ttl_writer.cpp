#include "lv2/ttl_writer.h"

#include <charconv>
#include <cmath>

#include "lv2/port_layout.h"
#include "lv2/velmor_lv2_ids.h"

namespace {

const char kPrefixes[] =
    "@prefix atom: <http://lv2plug.in/ns/ext/atom#> .\n"
    "@prefix doap: <http://usefulinc.com/ns/doap#> .\n"
    "@prefix foaf: <http://xmlns.com/foaf/0.1/> .\n"
    "@prefix lv2: <http://lv2plug.in/ns/lv2core#> .\n"
    "@prefix opts: <http://lv2plug.in/ns/ext/options#> .\n"
    "@prefix pprops: <http://lv2plug.in/ns/ext/port-props#> .\n"
    "@prefix rdf: <http://www.w3.org/1999/02/22-rdf-syntax-ns#> .\n"
    "@prefix rdfs: <http://www.w3.org/2000/01/rdf-schema#> .\n"
    "@prefix state: <http://lv2plug.in/ns/ext/state#> .\n"
    "@prefix ui: <http://lv2plug.in/ns/extensions/ui#> .\n"
    "@prefix units: <http://lv2plug.in/ns/extensions/units#> .\n"
    "@prefix urid: <http://lv2plug.in/ns/ext/urid#> .\n\n";

// A Turtle number: the shortest text that reads back as v, with a point
// whatever the locale ("12.5", "-5.0", "1e-05" as "1.0e-05").
std::string Number(double v) {
    char text[64];
    const auto result = std::to_chars(text, text + sizeof text, v);
    std::string s(text, result.ptr);
    if (s.find_first_of(".e") == std::string::npos) s += ".0";
    if (s.find('e') != std::string::npos && s.find('.') == std::string::npos) s.insert(s.find('e'), ".0");
    return s;
}

// A Turtle string literal.
std::string Quoted(const std::string& text) {
    std::string s = "\"";
    for (char c : text) {
        if (c == '"' || c == '\\') s += '\\';
        s += c;
    }
    return s + "\"";
}

std::string ControlInput(const IParameter& p, int index) {
    std::string s = "[\n    a lv2:InputPort, lv2:ControlPort ;\n";
    s += "    lv2:index " + std::to_string(index) + " ;\n";
    s += "    lv2:symbol " + Quoted(Lv2Symbol(p.Name())) + " ;\n";
    s += "    lv2:name " + Quoted(p.Name()) + " ;\n";
    s += "    lv2:default " + Number(p.Default()) + " ;\n";
    s += "    lv2:minimum " + Number(p.Min()) + " ;\n";
    s += "    lv2:maximum " + Number(p.Max()) + " ;\n";
    if (p.Type() == kParamBool) {
        s += "    lv2:portProperty lv2:toggled ;\n";
        // The host's bypass becomes the plug-in's own smoothed switch.
        if (Lv2Symbol(p.Name()) == "power") s += "    lv2:designation lv2:enabled ;\n";
    } else if (p.Type() == kParamInt) {
        s += "    lv2:portProperty lv2:integer";
        if (p.DisplayTextCount() > 0) s += ", lv2:enumeration";
        s += " ;\n";
    }
    // Every step of a stepped parameter by the text the editor shows for it
    // ("off", "on"; "A" to "D").
    if (p.Type() != kParamDouble && p.Step() > 0.0) {
        for (double v = p.Min(); v <= p.Max(); v += p.Step()) {
            char text[kParamTextSize];
            p.FormatValue(v, false, text, sizeof text, true);
            s += "    lv2:scalePoint [ rdfs:label " + Quoted(text) + " ; rdf:value " + Number(v) + " ] ;\n";
        }
    }
    if (std::string(p.Label()) == "dB") s += "    units:unit units:db ;\n";
    s += "]";
    return s;
}

std::string ControlOutput(int index, const char* symbol, const char* name, double max, double def,
                          const std::string& extra) {
    std::string s = "[\n    a lv2:OutputPort, lv2:ControlPort ;\n";
    s += "    lv2:index " + std::to_string(index) + " ;\n";
    s += "    lv2:symbol " + Quoted(symbol) + " ;\n";
    s += "    lv2:name " + Quoted(name) + " ;\n";
    s += "    lv2:default " + Number(def) + " ;\n    lv2:minimum 0.0 ;\n    lv2:maximum " + Number(max) + " ;\n";
    s += extra + "]";
    return s;
}

std::string AudioPort(int index, bool input, const std::string& symbol, const std::string& name) {
    std::string s = "[\n    a lv2:AudioPort, ";
    s += input ? "lv2:InputPort" : "lv2:OutputPort";
    s += " ;\n    lv2:index " + std::to_string(index) + " ;\n";
    s += "    lv2:symbol " + Quoted(symbol) + " ;\n    lv2:name " + Quoted(name) + " ;\n]";
    return s;
}

std::string PluginBlock(const IEffectBase& plugin, const char* uri, int channels) {
    Lv2PortLayout layout;
    layout.params = plugin.ParamCount();
    layout.channels = channels;
    std::string name = plugin.EffectName();
    if (channels == 1) name += " Mono";
    std::string s = "<" + std::string(uri) + ">\n";
    s += "    a " + std::string(kVelmorLv2Classes) + ", lv2:Plugin ;\n";
    s += "    doap:name " + Quoted(name) + " ;\n";
    s += "    doap:maintainer [ foaf:name " + Quoted(plugin.MakerName()) + " ] ;\n";
    s += "    lv2:requiredFeature urid:map ;\n";
    s += "    lv2:optionalFeature lv2:hardRTCapable, opts:options ;\n";
    s += "    lv2:extensionData state:interface ;\n";
    s += "    ui:ui <" + std::string(kVelmorLv2UiUri) + "> ;\n";
    s += "    lv2:port ";
    std::string ports;
    auto add = [&ports](const std::string& port) { ports += (ports.empty() ? "" : " , ") + port; };
    for (int i = 0; i < layout.params; ++i) add(ControlInput(*plugin.GetParam(i), i));
    add(ControlOutput(static_cast<int>(layout.Latency()), "latency", "Latency", 1 << 20, 0.0,
                      "    lv2:portProperty lv2:reportsLatency, lv2:integer, pprops:notOnGUI ;\n"
                      "    lv2:designation lv2:latency ;\n    units:unit units:frame ;\n"));
    // The needle's value (1 is the 0 mark) goes up to +6 dB.
    for (int m = 0; m < kVelmorLv2MeterCount; ++m) {
        add(ControlOutput(static_cast<int>(layout.Meter(m)), kVelmorLv2MeterSymbols[m], kVelmorLv2MeterNames[m], 2.0,
                          0.0, ""));
    }
    add(ControlOutput(static_cast<int>(layout.PowerLamp()), "power_lamp", "Power lamp", 1.0, 1.0,
                      "    lv2:portProperty lv2:toggled ;\n"));
    const char* const sides[] = {"_l", "_r"};
    const char* const sideNames[] = {" L", " R"};
    for (int c = 0; c < channels; ++c) {
        add(AudioPort(static_cast<int>(layout.AudioIn(c)), true, std::string("in") + (channels == 2 ? sides[c] : ""),
                      std::string("In") + (channels == 2 ? sideNames[c] : "")));
    }
    for (int c = 0; c < channels; ++c) {
        add(AudioPort(static_cast<int>(layout.AudioOut(c)), false, std::string("out") + (channels == 2 ? sides[c] : ""),
                      std::string("Out") + (channels == 2 ? sideNames[c] : "")));
    }
    return s + ports + " .\n\n";
}

}  // namespace

std::string Lv2ManifestTtl(const std::string& dspBinary, const std::string& uiBinary, const std::string& dataFile) {
    std::string s = kPrefixes;
    for (const char* uri : {kVelmorLv2StereoUri, kVelmorLv2MonoUri}) {
        s += "<" + std::string(uri) + ">\n    a lv2:Plugin ;\n    lv2:binary <" + dspBinary + "> ;\n";
        s += "    rdfs:seeAlso <" + dataFile + "> .\n\n";
    }
    s += "<" + std::string(kVelmorLv2UiUri) + ">\n    a ui:X11UI ;\n    ui:binary <" + uiBinary + "> ;\n";
    s += "    lv2:optionalFeature ui:parent, ui:idleInterface, ui:resize, ui:touch, ui:noUserResize, opts:options ;\n";
    s += "    lv2:extensionData ui:idleInterface, opts:interface ;\n";
    s += "    opts:supportedOption ui:scaleFactor ;\n";
    // The meters and the lamp reach the editor as port events.
    for (const char* uri : {kVelmorLv2StereoUri, kVelmorLv2MonoUri}) {
        for (int m = 0; m <= kVelmorLv2MeterCount; ++m) {
            const char* symbol = m < kVelmorLv2MeterCount ? kVelmorLv2MeterSymbols[m] : "power_lamp";
            s += "    ui:portNotification [ ui:plugin <" + std::string(uri) + "> ; lv2:symbol " + Quoted(symbol) +
                 " ; ui:notifyType ui:floatProtocol ] ;\n";
        }
    }
    s.replace(s.size() - 2, 2, ".\n");
    return s;
}

std::string Lv2PluginTtl(const IEffectBase& plugin) {
    return std::string(kPrefixes) + PluginBlock(plugin, kVelmorLv2StereoUri, 2) +
           PluginBlock(plugin, kVelmorLv2MonoUri, 1);
}
