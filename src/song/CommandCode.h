// One parameter of a command as the parser hands it to the compiler, and the
// codes of the commands themselves.
#pragma once

#include <cstdint>
#include <string>

enum CommandParamType : int32_t {
    ParamNumber = 0,
    ParamRelative = 1,  // written with a sign: relative to the current value
    ParamString = 2,    // a string id of the string pool
};

struct CommandParam {
    CommandParamType type = ParamNumber;
    int32_t value = 0;
};

// Lengths and times the parser sends are in ticks, 480 to a quarter note, so a
// length written as n (a 1/n note) is 1920 / n ticks. The files written keep
// the song's ticks.
inline constexpr int32_t kTicksPerQuarterNote = 480;
inline constexpr int32_t kTicksPerWholeNote = 4 * kTicksPerQuarterNote;

// Packs a command's characters big-endian into its code: "@DE" -> 0x404445.
constexpr int32_t commandCode(const char* name) {
    uint32_t code = 0;
    for (const char* p = name; *p != 0; ++p) code = (code << 8) | static_cast<unsigned char>(*p);
    return static_cast<int32_t>(code);
}

// The characters of a command's code as written in a song: 0x404445 -> "@DE".
inline std::string commandName(int32_t code) {
    std::string name;
    for (auto bits = static_cast<uint32_t>(code); bits != 0; bits >>= 8) {
        name.insert(name.begin(), static_cast<char>(bits & 0xFFu));
    }
    return name;
}

// The codes the parser sends and the compiler dispatches. A note is sent as
// its letter ('A'..'G'); every other command is listed here.
enum CommandCode : int32_t {
    CmdEndOfSource = -1,
    CmdRest = 'R',
    CmdDefaultLength = 'L',
    CmdOctave = 'O',
    CmdOctaveDown = '<',
    CmdOctaveUp = '>',
    CmdGate = 'Q',
    CmdTranspose = '_',
    CmdTempo = 'T',
    CmdJoin = '&',
    CmdTrackSelect = '0',
    CmdLoopStart = 0x2F3A,  // "/:"
    CmdLoopExit = '/',
    CmdLoopEnd = 0x3A2F,    // ":/"
    CmdSinger = '@',
    CmdReferenceTempo = commandCode("@T"),
    CmdTimeSignature = commandCode("@M"),
    CmdSingerRegistration = commandCode("@SGR"),
    CmdVelocity = commandCode("@VEL"),
    CmdNoteParameters = commandCode("@Z"),
    CmdVibrato = commandCode("@VIB"),
    CmdParameterEnvelope = commandCode("@EOP"),
    CmdDefineEnvelope = commandCode("@DE"),
    CmdLayEnvelope = commandCode("@LE"),
    CmdDynamics = commandCode("@DYN"),
    CmdBreathiness = commandCode("@BRE"),
    CmdBrightness = commandCode("@BRI"),
    CmdClearness = commandCode("@CLE"),
    CmdOpening = commandCode("@OPE"),
    CmdGenderFactor = commandCode("@GEN"),
    CmdPortamentoTiming = commandCode("@POR"),
    CmdPitchBend = commandCode("@PIT"),
    CmdPitchBendSensitivity = commandCode("@PBS"),
};

// Note letters and the pitch classes they and their accidentals reach.
constexpr bool isNoteLetter(int32_t code) { return code >= 'A' && code <= 'G'; }

// The pitch class (0 = C .. 11 = B) of a note letter 'A'..'G'.
constexpr int32_t pitchClassOf(int32_t letter) {
    constexpr int32_t kLetterClass[] = {9, 11, 0, 2, 4, 5, 7};  // A..G
    return kLetterClass[letter - 'A'];
}

// True for the classes a sharp or flat may reach: the black keys 1, 3, 6, 8
// and 10. Anything else, including -1 and 12, is a natural note or none.
constexpr bool isBlackKey(int32_t pitchClass) {
    constexpr uint32_t kBlackKeys = (1u << 1) | (1u << 3) | (1u << 6) | (1u << 8) | (1u << 10);
    return pitchClass >= 0 && pitchClass <= 11 && ((kBlackKeys >> pitchClass) & 1u) != 0;
}
