// Drives the VSQ editor jCadencii's own classes (Debian's jcadencii package)
// without its window, as an independent writer and reader of VSQ files:
//   write OUT.vsq         a song of two voice tracks written by its writer
//   ust IN.ust OUT.vsq    a UTAU sequence converted by it and written
//   dump IN.vsq           what its reader sees in a file, one fact a line
import java.util.Iterator;
import org.kbinani.vsq.*;

public class JcadenciiHelper {
    public static void main(String[] args) throws Exception {
        switch (args[0]) {
        case "write": write(args[1]); break;
        case "ust": fromUst(args[1], args[2]); break;
        case "dump": dump(args[1]); break;
        default: throw new IllegalArgumentException(args[0]);
        }
    }

    static VsqID note(int length, int key, int velocity, String phrase, String symbols) {
        VsqID id = new VsqID(0);
        id.type = VsqIDType.Anote;
        id.setLength(length);
        id.Note = key;
        id.Dynamics = velocity;
        id.PMBendDepth = 8;
        id.PMBendLength = 0;
        id.PMbPortamentoUse = 0;
        id.DEMdecGainRate = 50;
        id.DEMaccent = 50;
        id.LyricHandle = new LyricHandle(phrase, symbols);
        return id;
    }

    static void vibrato(VsqID id, int delay, int length) {
        id.VibratoHandle = new VibratoHandle();
        id.VibratoHandle.IconID = "$04040001";
        id.VibratoHandle.IDS = "normal";
        id.VibratoHandle.setLength(length);
        id.VibratoHandle.setStartDepth(64);
        id.VibratoHandle.setStartRate(50);
        id.VibratoDelay = delay;
    }

    static VsqID singer(String name, int language, int program) {
        VsqID id = new VsqID(0);
        id.type = VsqIDType.Singer;
        id.IconHandle = new IconHandle();
        id.IconHandle.IconID = String.format("$0701%02x%02x", language, program);
        id.IconHandle.IDS = name;
        id.IconHandle.Caption = "";
        id.IconHandle.Original = language * 256 + program;
        id.IconHandle.setLength(1);
        id.IconHandle.Language = language;
        id.IconHandle.Program = program;
        return id;
    }

    static void write(String path) throws Exception {
        // Two bars before the song, 4/4 at 120 beats a minute.
        VsqFile song = new VsqFile("Miku", 2, 4, 4, 500000);
        int bar = 1920;
        int start = 2 * bar;
        VsqTrack first = song.Track.get(1);
        String[][] lyrics = {{"さ", "s a"}, {"く", "k M"}, {"ら", "4 a"}, {"ー", "a"}, {"は", "w a"},
                             {"な", "n a"}, {"み", "m' i"}, {"ち", "tS i"}};
        int[] keys = {72, 74, 76, 76, 77, 79, 81, 79};
        for (int i = 0; i < lyrics.length; i++) {
            VsqID id = note(i == 7 ? 960 : 420, keys[i], 64 + i * 4, lyrics[i][0], lyrics[i][1]);
            if (i == 7) vibrato(id, 480, 480);
            first.addEvent(new VsqEvent(start + 480 * i, id));
        }
        // In the rest before the fifth note: jCadencii lists an event that shares
        // its clock with a note under the wrong ID.
        first.addEvent(new VsqEvent(start + 480 * 4 - 60, singer("Luka", 1, 0)));
        first.getCurve("dyn").add(start, 40);
        first.getCurve("dyn").add(start + 960, 80);
        first.getCurve("dyn").add(start + 1920, 64);
        first.getCurve("pit").add(start + 3360, -2000);
        first.getCurve("pit").add(start + 3840, 0);
        first.getCurve("pbs").add(start + 3360, 4);
        first.getCurve("bre").add(start + 480, 30);
        first.getCurve("bri").add(start + 480, 90);
        first.getCurve("cle").add(start + 960, 20);
        first.getCurve("gen").add(start + 1440, 50);
        first.getCurve("por").add(start, 70);
        first.getCurve("ope").add(start + 1920, 100);

        VsqTrack second = new VsqTrack("Voice2", "Rin");
        song.Track.add(second);
        String[] kana = {"あ", "い", "う", "え", "お", "か"};
        String[] symbols = {"a", "i", "M", "e", "o", "k a"};
        for (int i = 0; i < kana.length; i++) {
            second.addEvent(new VsqEvent(start + bar + 240 * i, note(240, 60 + i, 80, kana[i], symbols[i])));
        }
        second.getCurve("dyn").add(start + bar, 100);

        song.TempoTable.add(new TempoTableEntry(start + bar * 2, 600000, 0.0));
        song.TempoTable.add(new TempoTableEntry(start + bar * 3, 400000, 0.0));
        song.updateTempoInfo();
        song.TimesigTable.add(new TimeSigTableEntry(0, 3, 4, 4));
        song.updateTimesigInfo();
        song.updateTotalClocks();
        song.write(path);
    }

    static void fromUst(String in, String out) throws Exception {
        VsqFile song = new VsqFile(new UstFile(in));
        // The conversion leaves a placeholder note of note number -1, on which
        // the writer gives up half way, leaving a track chunk of length 0.
        for (int t = 1; t < song.Track.size(); t++) {
            VsqTrack track = song.Track.get(t);
            for (int i = track.getEventCount() - 1; i >= 0; i--) {
                VsqID id = track.getEvent(i).ID;
                if (id.type == VsqIDType.Anote && id.Note < 0) track.removeEvent(i);
            }
        }
        song.updateTotalClocks();
        song.write(out);
    }

    static void dump(String path) throws Exception {
        VsqFile song = new VsqFile(path, "Shift_JIS");
        for (TempoTableEntry tempo : song.TempoTable) System.out.println("tempo " + tempo.Clock + " " + tempo.Tempo);
        for (TimeSigTableEntry metre : song.TimesigTable)
            System.out.println("metre bar " + metre.BarCount + " " + metre.Numerator + "/" + metre.Denominator);
        for (int t = 1; t < song.Track.size(); t++) {
            VsqTrack track = song.Track.get(t);
            System.out.println("track " + t);
            for (Iterator<VsqEvent> it = track.getEventIterator(); it.hasNext();) {
                VsqEvent event = it.next();
                VsqID id = event.ID;
                if (id.type == VsqIDType.Singer) {
                    System.out.println("singer " + event.Clock + " " + id.IconHandle.IDS + " " + id.IconHandle.Language
                                       + " " + id.IconHandle.Program);
                } else if (id.type == VsqIDType.Anote) {
                    Lyric lyric = id.LyricHandle.L0;
                    String vibrato = id.VibratoHandle == null ? "none"
                        : id.VibratoHandle.getLength() + "/" + id.VibratoHandle.getStartDepth() + "/"
                          + id.VibratoHandle.getStartRate() + " after " + id.VibratoDelay;
                    System.out.println("note " + event.Clock + " length " + id.getLength() + " key " + id.Note
                                       + " velocity " + id.Dynamics + " bend " + id.PMBendDepth + "/" + id.PMBendLength
                                       + " portamento " + id.PMbPortamentoUse + " decay " + id.DEMdecGainRate
                                       + " accent " + id.DEMaccent + " lyric " + lyric.Phrase + " [" + lyric.getPhoneticSymbol()
                                       + "] vibrato " + vibrato);
                }
            }
            for (String name : new String[] {"pit", "pbs", "dyn", "bre", "bri", "cle", "gen", "por", "ope"}) {
                VsqBPList curve = track.getCurve(name);
                StringBuilder points = new StringBuilder();
                for (int i = 0; i < curve.size(); i++)
                    points.append(" ").append(curve.getKeyClock(i)).append("=").append(curve.getElement(i));
                System.out.println("curve " + name + points);
            }
        }
    }
}
