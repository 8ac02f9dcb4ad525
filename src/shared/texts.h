// Message texts that more than one worker writes (Shift-JIS once compiled).
#pragma once

namespace velk::texts {

inline constexpr char kNoMemory[] = "メモリ不足です\n";
inline constexpr char kSjisWriteFailed[] =
    "シフトJISファイルの書き込みでエラーが発生しました(原因=%s)\n";
inline constexpr char kUtf8WriteFailed[] =
    "UTF-8ファイルの書き込みでエラーが発生しました(原因=%s)\n";

}  // namespace velk::texts
