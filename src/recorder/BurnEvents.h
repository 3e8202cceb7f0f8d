#pragma once
// Reasons of the events a write sends to its grabber's callback.

constexpr int RECORDER_EVENT_ANALYZE_BEGIN = 4;
constexpr int RECORDER_EVENT_ANALYZE_END = 5;        // int64 bytes, int64 blocks
constexpr int RECORDER_EVENT_CACHE_WAIT_BEGIN = 6;   // int32 time limit in ms
constexpr int RECORDER_EVENT_CACHE_WAIT_END = 7;
constexpr int RECORDER_EVENT_SYNCHRONIZE_BEGIN = 8;
constexpr int RECORDER_EVENT_SYNCHRONIZE_END = 9;
constexpr int RECORDER_EVENT_PROGRESS = 12;          // int64 total, int64 done
constexpr int RECORDER_EVENT_PLUS_FORMAT_BEGIN = 21;
constexpr int RECORDER_EVENT_PLUS_FORMAT_END = 22;
constexpr int RECORDER_EVENT_PADDING_SIZE = 26;      // int64 blocks, int32 padding blocks
constexpr int RECORDER_EVENT_PADDING_BEGIN = 27;
constexpr int RECORDER_EVENT_PADDING_END = 28;
constexpr int RECORDER_EVENT_QUICK_FORMAT_BEGIN = 30;
constexpr int RECORDER_EVENT_QUICK_FORMAT_END = 31;
// How fast the write went once the drive had settled: uint32 KBps, and the
// speed table's nearest label as a C string ("8.0x", or "12.3x" past the
// table's top).
constexpr int RECORDER_EVENT_WRITE_SPEED = 40;
// The MD5 of the image file just written: a C string of 32 hex digits.
constexpr int RECORDER_EVENT_IMAGE_MD5 = 41;
