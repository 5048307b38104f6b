// The codes of the commands: a command's characters packed big-endian into an
// int, shared by the tokenizer, the parser, the compiler and the writers.
#pragma once

#include <cstdint>
#include <string>

// A command's code so far with one more character packed in after it.
constexpr uint32_t withCommandLetter(uint32_t code, uint32_t letter) { return (code << 8) | letter; }

// Packs a command's characters big-endian into its code: "@DE" -> 0x404445.
constexpr int32_t commandCode(const char* name) {
    uint32_t code = 0;
    for (const char* p = name; *p != 0; ++p) code = withCommandLetter(code, static_cast<unsigned char>(*p));
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
    CmdLoopStart = commandCode("/:"),
    CmdLoopExit = '/',
    CmdLoopEnd = commandCode(":/"),
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

// Every command named by "@" and letters, as the compiler knows them: where a
// name it does not know is reported, the nearest of these is suggested.
inline constexpr int32_t kLetterCommands[] = {
    CmdReferenceTempo,    CmdTimeSignature,        CmdSingerRegistration, CmdVelocity,
    CmdNoteParameters,    CmdVibrato,              CmdParameterEnvelope,  CmdDefineEnvelope,
    CmdLayEnvelope,       CmdDynamics,             CmdBreathiness,        CmdBrightness,
    CmdClearness,         CmdOpening,              CmdGenderFactor,       CmdPortamentoTiming,
    CmdPitchBend,         CmdPitchBendSensitivity,
};
