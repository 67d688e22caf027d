#pragma once
inline constexpr const char* kAppName = "quelmora";
inline constexpr const char* kAppVersion = QUELMORA_VERSION;
