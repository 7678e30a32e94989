// Exchange models of the panel's model list and the serial preset each one selects.
#include "ModelPreset.h"

#include "SerialEncodings.h"

namespace {
struct ModelRow {
    const char* name;
    int baud;
    int stopBitsCode;
};

constexpr ModelRow MODELS[ModelPreset::MODEL_COUNT] = {
    {"Morvek MK-4", 4800, 2},     {"Morvek MK-8", 4800, 2},    {"Morvek MK-16", 4800, 2},
    {"Morvek Duet", 7200, 0},     {"Morvek Orbita", 19200, 2}, {"Morvek Orbita+", 19200, 2},
    {"Morvek Nova", 56000, 0},    {"Morvek Mini 2", 2400, 0},  {"Morvek Mini 4", 2400, 0},
    {"Morvek Mini 6", 2400, 0},   {"Morvek Vega", 115200, 0},
};
}

const char* ModelPreset::ModelName(int position)
{
    return position >= 0 && position < MODEL_COUNT ? MODELS[position].name : nullptr;
}

std::optional<ModelPreset> ModelPreset::ForModel(int position)
{
    if (position < 0 || position >= MODEL_COUNT)
        return std::nullopt;
    ModelPreset preset;
    preset.speedIndex = SerialEncodings::SpeedIndexOf(MODELS[position].baud);
    preset.parityIndex = SerialEncodings::ParityIndexOf(0);
    preset.stopBitsIndex = SerialEncodings::StopBitsIndexOf(MODELS[position].stopBitsCode);
    return preset;
}
