// Exchange models of the panel's model list and the serial preset each one selects.
#pragma once
#include <optional>

class ModelPreset {
public:
    static constexpr int MODEL_COUNT = 11;
    static constexpr int PRESET_LISTEN_PORT = 5001;
    static constexpr int PRESET_CONFIG_PORT = 5002;

    int speedIndex = 0;
    int parityIndex = 0;   // every model talks without parity
    int stopBitsIndex = 0;

    static const char* ModelName(int position);
    // No preset for a position outside the list (no selection).
    static std::optional<ModelPreset> ForModel(int position);
};
