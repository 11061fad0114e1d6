<?xml version="1.0" encoding="utf-8"?>
<!DOCTYPE TS>
<TS version="2.1" language="de">
<context>
    <name>AboutDialog</name>
    <message>
        <source>Version: </source>
        <translation>Version: </translation>
    </message>
    <message>
        <source>Cut a new small file from a large ogg file. </source>
        <translation>Schneidet eine neue kleine Datei aus einer großen Ogg-Datei. </translation>
    </message>
    <message>
        <source>Marge multiple ogg files to a large new one</source>
        <translation>Verbindet mehrere Ogg-Dateien zu einer großen neuen</translation>
    </message>
    <message>
        <source>Website:  </source>
        <translation>Webseite:  </translation>
    </message>
    <message>
        <source>E-mail:  </source>
        <translation>E-Mail:  </translation>
    </message>
</context>
<context>
    <name>CommandTable</name>
    <message>
        <source>OGG Files(*.ogg)</source>
        <translation>OGG-Dateien(*.ogg)</translation>
    </message>
    <message>
        <source>MP3 Files(*.mp3)</source>
        <translation>MP3-Dateien(*.mp3)</translation>
    </message>
    <message>
        <source>WMA Files(*.wma)</source>
        <translation>WMA-Dateien(*.wma)</translation>
    </message>
    <message>
        <source>All Files(*)</source>
        <translation>Alle Dateien(*)</translation>
    </message>
    <message>
        <source>CUE Sheets(*.cue)</source>
        <translation>CUE-Dateien(*.cue)</translation>
    </message>
    <message>
        <source>FLAC Files(*.flac)</source>
        <translation>FLAC-Dateien(*.flac)</translation>
    </message>
    <message>
        <source>OPUS Files(*.opus)</source>
        <translation>OPUS-Dateien(*.opus)</translation>
    </message>
</context>
<context>
    <name>Conversion</name>
    <message>
        <source>Cannot create the output folder %1: %2</source>
        <translation>Der Ausgabeordner %1 kann nicht angelegt werden: %2</translation>
    </message>
    <message>
        <source>%1 would be cut into %2 pieces; at most %3 are made of one file.</source>
        <translation>%1 würde in %2 Stücke geschnitten; aus einer Datei werden höchstens %3 gemacht.</translation>
    </message>
    <message>
        <source>%1 cannot be cut without re-encoding: %2</source>
        <translation>%1 kann nicht ohne Neukodierung geschnitten werden: %2</translation>
    </message>
</context>
<context>
    <name>FolderDialog</name>
    <message>
        <source>Output Directory</source>
        <translation>Ausgabeordner</translation>
    </message>
    <message>
        <source>New Folder</source>
        <translation>Neuer Ordner</translation>
    </message>
    <message>
        <source>Ok</source>
        <translation>Ok</translation>
    </message>
    <message>
        <source>Cancel</source>
        <translation>Abbrechen</translation>
    </message>
</context>
<context>
    <name>HelpPage</name>
    <message>
        <source>cadelo.html</source>
        <extracomment>The file name of the help page in this language, as shipped beside cadelo.html.</extracomment>
        <translation>cadelo_de.html</translation>
    </message>
</context>
<context>
    <name>JobList</name>
    <message>
        <source>Start-time must not be larger than end-time.</source>
        <translation>Die Anfangszeit darf nicht größer als die Endzeit sein.</translation>
    </message>
    <message>
        <source> this File is Error or not supported.</source>
        <translation>: Diese Datei ist fehlerhaft oder wird nicht unterstützt.</translation>
    </message>
    <message>
        <source> this File is not supported.</source>
        <translation>: Diese Datei wird nicht unterstützt.</translation>
    </message>
    <message>
        <source>File name</source>
        <translation>Dateiname</translation>
    </message>
    <message>
        <source>Time</source>
        <translation>Dauer</translation>
    </message>
    <message>
        <source>Only chose &quot;Custom&quot; or &quot;unification&quot; function, this button is usable.</source>
        <translation>Diese Schaltfläche ist nur in den Modi &quot;Eigene&quot; und &quot;Einheitlich&quot; nutzbar.</translation>
    </message>
    <message>
        <source>This item, the procedure will automatically process. Need not delete.</source>
        <translation>Dieses Stück verarbeitet das Programm von selbst. Es muss nicht gelöscht werden.</translation>
    </message>
    <message>
        <source>Begin Time - End</source>
        <translation>Beginn - Ende</translation>
    </message>
    <message>
        <source>Length</source>
        <translation>Länge</translation>
    </message>
    <message>
        <source>Status</source>
        <translation>Status</translation>
    </message>
</context>
<context>
    <name>MainWindow</name>
    <message>
        <source>OGG (no re-encoding)</source>
        <translation>OGG (ohne Neukodierung)</translation>
    </message>
    <message>
        <source>Output format</source>
        <translation>Ausgabeformat</translation>
    </message>
    <message>
        <source>    1. Click &quot;Add&quot; to add files you want to convert</source>
        <translation>    1. Mit &quot;Hinzufügen&quot; die zu wandelnden Dateien wählen</translation>
    </message>
    <message>
        <source>    2. Set begin-time/end-time for every file.</source>
        <translation>    2. Für jede Datei Anfang und Ende setzen.</translation>
    </message>
    <message>
        <source>    3. Click &quot;OK&quot; button to notarize.</source>
        <translation>    3. Mit &quot;OK&quot; das Stück bestätigen.</translation>
    </message>
    <message>
        <source>    4. Set Output Format</source>
        <translation>    4. Das Ausgabeformat wählen</translation>
    </message>
    <message>
        <source>    5. To cut piece from one big audio file, Click &quot;Split&quot;</source>
        <translation>    5. Stücke aus einer großen Datei schneiden: &quot;Teilen&quot;</translation>
    </message>
    <message>
        <source>    6. To marge multiple files into one big file, Click </source>
        <translation>    6. Mehrere Dateien zu einer großen verbinden: </translation>
    </message>
    <message>
        <source>&quot;Join&quot;</source>
        <translation>&quot;Verbinden&quot;</translation>
    </message>
    <message>
        <source>    7. To terminate the conversion, click &quot;Stop&quot; button.</source>
        <translation>    7. Die Umwandlung mit &quot;Stopp&quot; abbrechen.</translation>
    </message>
    <message>
        <source>Add File</source>
        <translation>Datei hinzufügen</translation>
    </message>
    <message>
        <source>Add Path</source>
        <translation>Ordner hinzufügen</translation>
    </message>
    <message>
        <source>Clear</source>
        <translation>Leeren</translation>
    </message>
    <message>
        <source>Remove</source>
        <translation>Entfernen</translation>
    </message>
    <message>
        <source>ID3 info</source>
        <translation>ID3-Tags</translation>
    </message>
    <message>
        <source>UP</source>
        <translation>Nach oben</translation>
    </message>
    <message>
        <source>Down</source>
        <translation>Nach unten</translation>
    </message>
    <message>
        <source>Play</source>
        <translation>Abspielen</translation>
    </message>
    <message>
        <source>Stop</source>
        <translation>Stopp</translation>
    </message>
    <message>
        <source>Add Folder</source>
        <translation>Ordner hinzufügen</translation>
    </message>
    <message>
        <source>Import CUE sheet…</source>
        <translation>CUE-Datei importieren…</translation>
    </message>
    <message>
        <source>Exit</source>
        <translation>Beenden</translation>
    </message>
    <message>
        <source>File Up</source>
        <translation>Datei nach oben</translation>
    </message>
    <message>
        <source>File Down</source>
        <translation>Datei nach unten</translation>
    </message>
    <message>
        <source>Split</source>
        <translation>Teilen</translation>
    </message>
    <message>
        <source>Join</source>
        <translation>Verbinden</translation>
    </message>
    <message>
        <source>Content</source>
        <translation>Inhalt</translation>
    </message>
    <message>
        <source>HomePage</source>
        <translation>Homepage</translation>
    </message>
    <message>
        <source>About</source>
        <translation>Über Cadelo</translation>
    </message>
    <message>
        <source>Add File Directory</source>
        <translation>Ordner zum Hinzufügen</translation>
    </message>
    <message>
        <source>Waveform…</source>
        <translation>Wellenform…</translation>
    </message>
</context>
<context>
    <name>NameTemplate</name>
    <message>
        <source>&quot;%1&quot; without its &quot;}&quot;</source>
        <translation>&quot;%1&quot; ohne schließendes &quot;}&quot;</translation>
    </message>
    <message>
        <source>The name template &quot;%1&quot; holds an unknown field %2; the fields are %3.</source>
        <translation>Die Namensvorlage &quot;%1&quot; enthält das unbekannte Feld %2; die Felder sind %3.</translation>
    </message>
</context>
<context>
    <name>OutputNaming</name>
    <message>
        <source> already exists. Do you want to replace it?</source>
        <translation> gibt es schon. Möchten Sie die Datei ersetzen?</translation>
    </message>
</context>
<context>
    <name>Preview</name>
    <message>
        <source>No sound output device is available.
%1</source>
        <translation>Es ist kein Gerät für die Tonausgabe verfügbar.
%1</translation>
    </message>
</context>
<context>
    <name>SettingsDialog</name>
    <message>
        <source>Settings</source>
        <translation>Einstellungen</translation>
    </message>
    <message>
        <source>General</source>
        <translation>Allgemein</translation>
    </message>
    <message>
        <source>Ok</source>
        <translation>Ok</translation>
    </message>
    <message>
        <source>Default</source>
        <translation>Standard</translation>
    </message>
    <message>
        <source>Cancel</source>
        <translation>Abbrechen</translation>
    </message>
    <message>
        <source>Function Choice</source>
        <translation>Modus</translation>
    </message>
    <message>
        <source>Custom</source>
        <translation>Eigene</translation>
    </message>
    <message>
        <source>Unification</source>
        <translation>Einheitlich</translation>
    </message>
    <message>
        <source>Averagely split into</source>
        <translation>Gleichmäßig teilen in</translation>
    </message>
    <message>
        <source>Split every copy into </source>
        <translation>Teilen in Stücke von </translation>
    </message>
    <message>
        <source>Silence</source>
        <translation>Stille</translation>
    </message>
    <message>
        <source>Automatic</source>
        <translation>Automatisch</translation>
    </message>
    <message>
        <source>none</source>
        <translation>keine</translation>
    </message>
    <message>
        <source>Keep the pauses in the pieces</source>
        <translation>Pausen in den Stücken behalten</translation>
    </message>
    <message>
        <source>Quieter than: </source>
        <translation>Leiser als: </translation>
    </message>
    <message>
        <source>Pause at least: </source>
        <translation>Pause mindestens: </translation>
    </message>
    <message>
        <source>Pieces at least: </source>
        <translation>Stücke mindestens: </translation>
    </message>
    <message>
        <source>Pieces at most: </source>
        <translation>Stücke höchstens: </translation>
    </message>
    <message>
        <source>copy. </source>
        <translation>Stücke. </translation>
    </message>
    <message>
        <source>Second</source>
        <translation>Sekunden</translation>
    </message>
    <message>
        <source>move each cut to the quietest moment within ±</source>
        <translation>jeden Schnitt an die leiseste Stelle verschieben, innerhalb ±</translation>
    </message>
    <message>
        <source> seconds</source>
        <translation> Sekunden</translation>
    </message>
    <message>
        <source>Fade Settings</source>
        <translation>Ein- und Ausblenden</translation>
    </message>
    <message>
        <source>IN </source>
        <translation>Ein </translation>
    </message>
    <message>
        <source>Out </source>
        <translation>Aus </translation>
    </message>
    <message>
        <source>Output Path:</source>
        <translation>Ausgabeordner:</translation>
    </message>
    <message>
        <source>Piece Names:</source>
        <translation>Namen der Stücke:</translation>
    </message>
    <message>
        <source>Empty: the source&apos;s name, numbered. Fields: {source}, {n}, {title}, {artist}, {album}, {start}; &quot;.ogg&quot; is appended.</source>
        <translation>Leer: der Name der Quelle, nummeriert. Felder: {source}, {n}, {title}, {artist}, {album}, {start}; &quot;.ogg&quot; wird angehängt.</translation>
    </message>
    <message>
        <source>Mono</source>
        <translation>Mono</translation>
    </message>
    <message>
        <source>Stereo</source>
        <translation>Stereo</translation>
    </message>
    <message>
        <source>Quality</source>
        <translation>Qualität</translation>
    </message>
    <message>
        <source>Frequency: </source>
        <translation>Abtastrate: </translation>
    </message>
    <message>
        <source>Channel: </source>
        <translation>Kanäle: </translation>
    </message>
    <message>
        <source>Bitrate: </source>
        <translation>Bitrate: </translation>
    </message>
    <message>
        <source>VBR/Quality:</source>
        <translation>VBR/Qualität:</translation>
    </message>
    <message>
        <source>Min Bitrate: </source>
        <translation>Min. Bitrate: </translation>
    </message>
    <message>
        <source>Max Bitrate: </source>
        <translation>Max. Bitrate: </translation>
    </message>
    <message>
        <source>Quality: </source>
        <translation>Qualität: </translation>
    </message>
    <message>
        <source>Set General</source>
        <translation>Allgemeine Einstellungen</translation>
    </message>
    <message>
        <source>Set OGG Format</source>
        <translation>OGG-Format einstellen</translation>
    </message>
    <message>
        <source>This OGG format is not supported. <byte value="xd"/>You have set too high frequency and too low bitrate or otherwise. <byte value="xd"/>Please adjust the frequency or bitrate.</source>
        <translation>Dieses OGG-Format wird nicht unterstützt. <byte value="xd"/>Abtastrate und Bitrate passen nicht zusammen (zu hohe Abtastrate bei zu niedriger Bitrate oder umgekehrt). <byte value="xd"/>Bitte ändern Sie die Abtastrate oder die Bitrate.</translation>
    </message>
    <message>
        <source>OGG (no re-encoding) cuts the source&apos;s own packets: fades and encoding settings do not apply to it.</source>
        <translation>OGG (ohne Neukodierung) schneidet die Pakete der Quelle selbst: Blenden und Kodiereinstellungen gelten dafür nicht.</translation>
    </message>
    <message>
        <source>Please enter an output folder. The previous folder is kept.</source>
        <translation>Bitte geben Sie einen Ausgabeordner an. Der bisherige Ordner bleibt.</translation>
    </message>
    <message>
        <source>Please enter a whole number from 1 to 2147483647 for &quot;%1&quot;.</source>
        <translation>Bitte geben Sie für &quot;%1&quot; eine ganze Zahl von 1 bis 2147483647 ein.</translation>
    </message>
    <message>
        <source>Output Directory</source>
        <translation>Ausgabeordner</translation>
    </message>
    <message>
        <source>Compression level: </source>
        <translation>Kompressionsstufe: </translation>
    </message>
</context>
<context>
    <name>SilenceScan</name>
    <message>
        <source>Looking for the pauses...</source>
        <translation>Pausen werden gesucht...</translation>
    </message>
    <message>
        <source>Stop</source>
        <translation>Stopp</translation>
    </message>
</context>
<context>
    <name>Skin</name>
    <message>
        <source>FILES</source>
        <translation>DATEIEN</translation>
    </message>
    <message>
        <source>FORMAT</source>
        <translation>FORMAT</translation>
    </message>
    <message>
        <source>TOTAL LENGTH</source>
        <translation>GESAMTLÄNGE</translation>
    </message>
    <message>
        <source>File</source>
        <translation>Datei</translation>
    </message>
    <message>
        <source>File menu: add files or a folder, remove a file, exit</source>
        <translation>Menü Datei: Dateien oder einen Ordner hinzufügen, eine Datei entfernen, beenden</translation>
    </message>
    <message>
        <source>Action</source>
        <translation>Aktion</translation>
    </message>
    <message>
        <source>Action menu: reorder, tags, split, join and stop</source>
        <translation>Menü Aktion: Reihenfolge, Tags, Teilen, Verbinden und Stopp</translation>
    </message>
    <message>
        <source>Settings</source>
        <translation>Optionen</translation>
    </message>
    <message>
        <source>Split mode, output folder, fades and Ogg Vorbis encoding</source>
        <translation>Teilmodus, Ausgabeordner, Blenden und Ogg-Vorbis-Kodierung</translation>
    </message>
    <message>
        <source>Help</source>
        <translation>Hilfe</translation>
    </message>
    <message>
        <source>Help menu: contents, home page, about</source>
        <translation>Menü Hilfe: Inhalt, Homepage, über Cadelo</translation>
    </message>
    <message>
        <source>Guide</source>
        <translation>Doku</translation>
    </message>
    <message>
        <source>Open the help page</source>
        <translation>Die Hilfeseite öffnen</translation>
    </message>
    <message>
        <source>The selected file</source>
        <translation>Die gewählte Datei</translation>
    </message>
    <message>
        <source>Add</source>
        <translation>Hinzufügen</translation>
    </message>
    <message>
        <source>Add audio files to the list</source>
        <translation>Audiodateien zur Liste hinzufügen</translation>
    </message>
    <message>
        <source>Up</source>
        <translation>Nach oben</translation>
    </message>
    <message>
        <source>Move the selected file up</source>
        <translation>Die gewählte Datei nach oben schieben</translation>
    </message>
    <message>
        <source>Down</source>
        <translation>Nach unten</translation>
    </message>
    <message>
        <source>Move the selected file down</source>
        <translation>Die gewählte Datei nach unten schieben</translation>
    </message>
    <message>
        <source>Remove</source>
        <translation>Entfernen</translation>
    </message>
    <message>
        <source>Remove the selected file, or the selected piece when the piece list was clicked last</source>
        <translation>Die gewählte Datei entfernen, oder das gewählte Stück, wenn zuletzt die Stückliste angeklickt wurde</translation>
    </message>
    <message>
        <source>Clear</source>
        <translation>Leeren</translation>
    </message>
    <message>
        <source>Empty the list, or reset the pieces when the piece list was clicked last</source>
        <translation>Die Liste leeren, oder die Stücke zurücksetzen, wenn zuletzt die Stückliste angeklickt wurde</translation>
    </message>
    <message>
        <source>Options</source>
        <translation>Einstellen</translation>
    </message>
    <message>
        <source>Settings: split mode, output folder, fades and encoding</source>
        <translation>Einstellungen: Teilmodus, Ausgabeordner, Blenden und Kodierung</translation>
    </message>
    <message>
        <source>Position: drag to seek or to choose a begin or end time</source>
        <translation>Position: ziehen, um zu springen oder einen Anfang oder ein Ende zu wählen</translation>
    </message>
    <message>
        <source>Time at the slider position</source>
        <translation>Zeit an der Position des Schiebers</translation>
    </message>
    <message>
        <source>Play</source>
        <translation>Spielen</translation>
    </message>
    <message>
        <source>Play the selected file or piece</source>
        <translation>Die gewählte Datei oder das gewählte Stück abspielen</translation>
    </message>
    <message>
        <source>Stop</source>
        <translation>Stopp</translation>
    </message>
    <message>
        <source>Stop playing</source>
        <translation>Wiedergabe beenden</translation>
    </message>
    <message>
        <source>Back</source>
        <translation>Zurück</translation>
    </message>
    <message>
        <source>Step back</source>
        <translation>Einen Schritt zurück</translation>
    </message>
    <message>
        <source>Fwd</source>
        <translation>Vor</translation>
    </message>
    <message>
        <source>Step forward</source>
        <translation>Einen Schritt vor</translation>
    </message>
    <message>
        <source>Begin</source>
        <translation>Anfang</translation>
    </message>
    <message>
        <source>Mark the slider position as the begin of the piece</source>
        <translation>Die Position des Schiebers als Anfang des Stücks setzen</translation>
    </message>
    <message>
        <source>End</source>
        <translation>Ende</translation>
    </message>
    <message>
        <source>Mark the slider position as the end of the piece</source>
        <translation>Die Position des Schiebers als Ende des Stücks setzen</translation>
    </message>
    <message>
        <source>OK</source>
        <translation>OK</translation>
    </message>
    <message>
        <source>Confirm the piece and start a new one</source>
        <translation>Das Stück bestätigen und ein neues beginnen</translation>
    </message>
    <message>
        <source>Split</source>
        <translation>Teilen</translation>
    </message>
    <message>
        <source>Write every piece as its own Ogg Vorbis file, then open the output folder</source>
        <translation>Jedes Stück als eigene Ogg-Vorbis-Datei schreiben, dann den Ausgabeordner öffnen</translation>
    </message>
    <message>
        <source>Join</source>
        <translation>Verbinden</translation>
    </message>
    <message>
        <source>Join all pieces of all files into one Ogg Vorbis file</source>
        <translation>Alle Stücke aller Dateien zu einer Ogg-Vorbis-Datei verbinden</translation>
    </message>
    <message>
        <source>Stop playing and stop the conversion</source>
        <translation>Wiedergabe und Umwandlung beenden</translation>
    </message>
    <message>
        <source>Total length of the output</source>
        <translation>Gesamtlänge der Ausgabe</translation>
    </message>
    <message>
        <source>Conversion progress</source>
        <translation>Fortschritt der Umwandlung</translation>
    </message>
    <message>
        <source>Position</source>
        <translation>Position</translation>
    </message>
</context>
<context>
    <name>SkinView</name>
    <message>
        <source>No file selected</source>
        <translation>Keine Datei gewählt</translation>
    </message>
</context>
<context>
    <name>SpanStatus</name>
    <message>
        <source>Playing</source>
        <translation>Spielt</translation>
    </message>
    <message>
        <source>Converting</source>
        <translation>Läuft</translation>
    </message>
    <message>
        <source>Finish</source>
        <translation>Fertig</translation>
    </message>
    <message>
        <source>Uncertain</source>
        <translation>Unsicher</translation>
    </message>
    <message>
        <source>OK</source>
        <translation>OK</translation>
    </message>
    <message>
        <source>Ok</source>
        <translation>Ok</translation>
    </message>
    <message>
        <source>Unconvert</source>
        <translation>Offen</translation>
    </message>
</context>
<context>
    <name>TagEditDialog</name>
    <message>
        <source>ID3 Edit</source>
        <translation>ID3 bearbeiten</translation>
    </message>
    <message>
        <source>File Name</source>
        <translation>Dateiname</translation>
    </message>
    <message>
        <source>Title:</source>
        <translation>Titel:</translation>
    </message>
    <message>
        <source>Artist: </source>
        <translation>Interpret: </translation>
    </message>
    <message>
        <source>Album: </source>
        <translation>Album: </translation>
    </message>
    <message>
        <source>Year: </source>
        <translation>Jahr: </translation>
    </message>
    <message>
        <source>Genre:</source>
        <translation>Genre:</translation>
    </message>
    <message>
        <source>Comment: </source>
        <translation>Kommentar: </translation>
    </message>
    <message>
        <source>All</source>
        <translation>Alle</translation>
    </message>
    <message>
        <source>Reset</source>
        <translation>Zurück</translation>
    </message>
    <message>
        <source>Ok</source>
        <translation>Ok</translation>
    </message>
    <message>
        <source>Cancel</source>
        <translation>Abbrechen</translation>
    </message>
</context>
<context>
    <name>WaveformWindow</name>
    <message>
        <source>Each channel</source>
        <translation>Jeder Kanal</translation>
    </message>
    <message>
        <source>Mix</source>
        <translation>Gemischt</translation>
    </message>
    <message>
        <source>snap to zero crossings</source>
        <translation>an Nulldurchgängen einrasten</translation>
    </message>
    <message>
        <source>Channels:</source>
        <translation>Kanäle:</translation>
    </message>
    <message>
        <source>Waveform – </source>
        <translation>Wellenform – </translation>
    </message>
</context>
</TS>
