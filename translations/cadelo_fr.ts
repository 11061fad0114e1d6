<?xml version="1.0" encoding="utf-8"?>
<!DOCTYPE TS>
<TS version="2.1" language="fr">
<context>
    <name>AboutDialog</name>
    <message>
        <source>Version: </source>
        <translation>Version : </translation>
    </message>
    <message>
        <source>Cut a new small file from a large ogg file. </source>
        <translation>Découpe un petit fichier dans un grand fichier Ogg. </translation>
    </message>
    <message>
        <source>Marge multiple ogg files to a large new one</source>
        <translation>Réunit plusieurs fichiers Ogg en un grand fichier</translation>
    </message>
    <message>
        <source>Website:  </source>
        <translation>Site web :  </translation>
    </message>
    <message>
        <source>E-mail:  </source>
        <translation>Courriel :  </translation>
    </message>
</context>
<context>
    <name>CommandTable</name>
    <message>
        <source>OGG Files(*.ogg)</source>
        <translation>Fichiers OGG(*.ogg)</translation>
    </message>
    <message>
        <source>MP3 Files(*.mp3)</source>
        <translation>Fichiers MP3(*.mp3)</translation>
    </message>
    <message>
        <source>WMA Files(*.wma)</source>
        <translation>Fichiers WMA(*.wma)</translation>
    </message>
    <message>
        <source>All Files(*)</source>
        <translation>Tous les fichiers(*)</translation>
    </message>
    <message>
        <source>CUE Sheets(*.cue)</source>
        <translation>Feuilles CUE(*.cue)</translation>
    </message>
    <message>
        <source>FLAC Files(*.flac)</source>
        <translation>Fichiers FLAC(*.flac)</translation>
    </message>
    <message>
        <source>OPUS Files(*.opus)</source>
        <translation>Fichiers OPUS(*.opus)</translation>
    </message>
</context>
<context>
    <name>Conversion</name>
    <message>
        <source>Cannot create the output folder %1: %2</source>
        <translation>Impossible de créer le dossier de sortie %1 : %2</translation>
    </message>
    <message>
        <source>%1 would be cut into %2 pieces; at most %3 are made of one file.</source>
        <translation>%1 serait découpé en %2 morceaux ; un fichier en donne au plus %3.</translation>
    </message>
    <message>
        <source>%1 cannot be cut without re-encoding: %2</source>
        <translation>%1 ne peut pas être découpé sans réencodage : %2</translation>
    </message>
</context>
<context>
    <name>FolderDialog</name>
    <message>
        <source>Output Directory</source>
        <translation>Dossier de sortie</translation>
    </message>
    <message>
        <source>New Folder</source>
        <translation>Nouveau dossier</translation>
    </message>
    <message>
        <source>Ok</source>
        <translation>OK</translation>
    </message>
    <message>
        <source>Cancel</source>
        <translation>Annuler</translation>
    </message>
</context>
<context>
    <name>HelpPage</name>
    <message>
        <source>cadelo.html</source>
        <extracomment>The file name of the help page in this language, as shipped beside cadelo.html.</extracomment>
        <translation>cadelo_fr.html</translation>
    </message>
</context>
<context>
    <name>JobList</name>
    <message>
        <source>Start-time must not be larger than end-time.</source>
        <translation>Le début ne doit pas être après la fin.</translation>
    </message>
    <message>
        <source> this File is Error or not supported.</source>
        <translation> : ce fichier est erroné ou n’est pas pris en charge.</translation>
    </message>
    <message>
        <source> this File is not supported.</source>
        <translation> : ce fichier n’est pas pris en charge.</translation>
    </message>
    <message>
        <source>File name</source>
        <translation>Nom du fichier</translation>
    </message>
    <message>
        <source>Time</source>
        <translation>Durée</translation>
    </message>
    <message>
        <source>Only chose &quot;Custom&quot; or &quot;unification&quot; function, this button is usable.</source>
        <translation>Ce bouton ne sert qu’avec les modes &quot;Personnalisé&quot; et &quot;Uniforme&quot;.</translation>
    </message>
    <message>
        <source>This item, the procedure will automatically process. Need not delete.</source>
        <translation>Le programme traite ce morceau de lui-même. Inutile de le supprimer.</translation>
    </message>
    <message>
        <source>Begin Time - End</source>
        <translation>Début - Fin</translation>
    </message>
    <message>
        <source>Length</source>
        <translation>Durée</translation>
    </message>
    <message>
        <source>Status</source>
        <translation>État</translation>
    </message>
</context>
<context>
    <name>MainWindow</name>
    <message>
        <source>OGG (no re-encoding)</source>
        <translation>OGG (sans réencodage)</translation>
    </message>
    <message>
        <source>Output format</source>
        <translation>Format de sortie</translation>
    </message>
    <message>
        <source>    1. Click &quot;Add&quot; to add files you want to convert</source>
        <translation>    1. &quot;Ajouter&quot; : choisir les fichiers à convertir</translation>
    </message>
    <message>
        <source>    2. Set begin-time/end-time for every file.</source>
        <translation>    2. Fixer le début et la fin pour chaque fichier.</translation>
    </message>
    <message>
        <source>    3. Click &quot;OK&quot; button to notarize.</source>
        <translation>    3. &quot;OK&quot; : valider le morceau.</translation>
    </message>
    <message>
        <source>    4. Set Output Format</source>
        <translation>    4. Choisir le format de sortie</translation>
    </message>
    <message>
        <source>    5. To cut piece from one big audio file, Click &quot;Split&quot;</source>
        <translation>    5. Pour découper un grand fichier : &quot;Découper&quot;</translation>
    </message>
    <message>
        <source>    6. To marge multiple files into one big file, Click </source>
        <translation>    6. Pour réunir plusieurs fichiers en un seul : </translation>
    </message>
    <message>
        <source>&quot;Join&quot;</source>
        <translation>&quot;Joindre&quot;</translation>
    </message>
    <message>
        <source>    7. To terminate the conversion, click &quot;Stop&quot; button.</source>
        <translation>    7. Pour arrêter la conversion : &quot;Arrêt&quot;.</translation>
    </message>
    <message>
        <source>Add File</source>
        <translation>Ajouter des fichiers</translation>
    </message>
    <message>
        <source>Add Path</source>
        <translation>Ajouter un dossier</translation>
    </message>
    <message>
        <source>Clear</source>
        <translation>Vider</translation>
    </message>
    <message>
        <source>Remove</source>
        <translation>Retirer</translation>
    </message>
    <message>
        <source>ID3 info</source>
        <translation>Infos ID3</translation>
    </message>
    <message>
        <source>UP</source>
        <translation>Monter</translation>
    </message>
    <message>
        <source>Down</source>
        <translation>Descendre</translation>
    </message>
    <message>
        <source>Play</source>
        <translation>Lire</translation>
    </message>
    <message>
        <source>Stop</source>
        <translation>Arrêt</translation>
    </message>
    <message>
        <source>Add Folder</source>
        <translation>Ajouter un dossier</translation>
    </message>
    <message>
        <source>Import CUE sheet…</source>
        <translation>Importer une feuille CUE…</translation>
    </message>
    <message>
        <source>Exit</source>
        <translation>Quitter</translation>
    </message>
    <message>
        <source>File Up</source>
        <translation>Monter le fichier</translation>
    </message>
    <message>
        <source>File Down</source>
        <translation>Descendre le fichier</translation>
    </message>
    <message>
        <source>Split</source>
        <translation>Découper</translation>
    </message>
    <message>
        <source>Join</source>
        <translation>Joindre</translation>
    </message>
    <message>
        <source>Content</source>
        <translation>Sommaire</translation>
    </message>
    <message>
        <source>HomePage</source>
        <translation>Page d’accueil</translation>
    </message>
    <message>
        <source>About</source>
        <translation>À propos</translation>
    </message>
    <message>
        <source>Add File Directory</source>
        <translation>Dossier à ajouter</translation>
    </message>
    <message>
        <source>Waveform…</source>
        <translation>Forme d’onde…</translation>
    </message>
</context>
<context>
    <name>NameTemplate</name>
    <message>
        <source>&quot;%1&quot; without its &quot;}&quot;</source>
        <translation>&quot;%1&quot; sans son &quot;}&quot;</translation>
    </message>
    <message>
        <source>The name template &quot;%1&quot; holds an unknown field %2; the fields are %3.</source>
        <translation>Le modèle de nom &quot;%1&quot; contient le champ inconnu %2 ; les champs sont %3.</translation>
    </message>
</context>
<context>
    <name>OutputNaming</name>
    <message>
        <source> already exists. Do you want to replace it?</source>
        <translation> existe déjà. Voulez-vous le remplacer ?</translation>
    </message>
</context>
<context>
    <name>Preview</name>
    <message>
        <source>No sound output device is available.
%1</source>
        <translation>Aucun périphérique de sortie audio n’est disponible.
%1</translation>
    </message>
</context>
<context>
    <name>SettingsDialog</name>
    <message>
        <source>Settings</source>
        <translation>Réglages</translation>
    </message>
    <message>
        <source>General</source>
        <translation>Général</translation>
    </message>
    <message>
        <source>Ok</source>
        <translation>OK</translation>
    </message>
    <message>
        <source>Default</source>
        <translation>Par défaut</translation>
    </message>
    <message>
        <source>Cancel</source>
        <translation>Annuler</translation>
    </message>
    <message>
        <source>Function Choice</source>
        <translation>Mode de découpe</translation>
    </message>
    <message>
        <source>Custom</source>
        <translation>Personnalisé</translation>
    </message>
    <message>
        <source>Unification</source>
        <translation>Uniforme</translation>
    </message>
    <message>
        <source>Averagely split into</source>
        <translation>Découper également en</translation>
    </message>
    <message>
        <source>Split every copy into </source>
        <translation>Découper en morceaux de </translation>
    </message>
    <message>
        <source>Silence</source>
        <translation>Silences</translation>
    </message>
    <message>
        <source>Automatic</source>
        <translation>Automatique</translation>
    </message>
    <message>
        <source>none</source>
        <translation>aucune</translation>
    </message>
    <message>
        <source>Keep the pauses in the pieces</source>
        <translation>Garder les pauses dans les morceaux</translation>
    </message>
    <message>
        <source>Quieter than: </source>
        <translation>Plus faible que : </translation>
    </message>
    <message>
        <source>Pause at least: </source>
        <translation>Pause d’au moins : </translation>
    </message>
    <message>
        <source>Pieces at least: </source>
        <translation>Morceaux d’au moins : </translation>
    </message>
    <message>
        <source>Pieces at most: </source>
        <translation>Morceaux d’au plus : </translation>
    </message>
    <message>
        <source>copy. </source>
        <translation>morceaux. </translation>
    </message>
    <message>
        <source>Second</source>
        <translation>secondes</translation>
    </message>
    <message>
        <source>move each cut to the quietest moment within ±</source>
        <translation>placer chaque coupe au moment le plus calme à ±</translation>
    </message>
    <message>
        <source> seconds</source>
        <translation> secondes</translation>
    </message>
    <message>
        <source>Fade Settings</source>
        <translation>Fondus</translation>
    </message>
    <message>
        <source>IN </source>
        <translation>Entrée </translation>
    </message>
    <message>
        <source>Out </source>
        <translation>Sortie </translation>
    </message>
    <message>
        <source>Output Path:</source>
        <translation>Dossier de sortie :</translation>
    </message>
    <message>
        <source>Piece Names:</source>
        <translation>Noms des morceaux :</translation>
    </message>
    <message>
        <source>Empty: the source&apos;s name, numbered. Fields: {source}, {n}, {title}, {artist}, {album}, {start}; &quot;.ogg&quot; is appended.</source>
        <translation>Vide : le nom de la source, numéroté. Champs : {source}, {n}, {title}, {artist}, {album}, {start} ; &quot;.ogg&quot; est ajouté.</translation>
    </message>
    <message>
        <source>Mono</source>
        <translation>Mono</translation>
    </message>
    <message>
        <source>Stereo</source>
        <translation>Stéréo</translation>
    </message>
    <message>
        <source>Quality</source>
        <translation>Qualité</translation>
    </message>
    <message>
        <source>Frequency: </source>
        <translation>Fréquence : </translation>
    </message>
    <message>
        <source>Channel: </source>
        <translation>Canaux : </translation>
    </message>
    <message>
        <source>Bitrate: </source>
        <translation>Débit : </translation>
    </message>
    <message>
        <source>VBR/Quality:</source>
        <translation>VBR/Qualité :</translation>
    </message>
    <message>
        <source>Min Bitrate: </source>
        <translation>Débit min. : </translation>
    </message>
    <message>
        <source>Max Bitrate: </source>
        <translation>Débit max. : </translation>
    </message>
    <message>
        <source>Quality: </source>
        <translation>Qualité : </translation>
    </message>
    <message>
        <source>Set General</source>
        <translation>Réglages généraux</translation>
    </message>
    <message>
        <source>Set OGG Format</source>
        <translation>Réglages du format OGG</translation>
    </message>
    <message>
        <source>This OGG format is not supported. <byte value="xd"/>You have set too high frequency and too low bitrate or otherwise. <byte value="xd"/>Please adjust the frequency or bitrate.</source>
        <translation>Ce format OGG n’est pas pris en charge. <byte value="xd"/>La fréquence et le débit ne vont pas ensemble (fréquence trop haute pour un débit trop bas, ou l’inverse). <byte value="xd"/>Veuillez changer la fréquence ou le débit.</translation>
    </message>
    <message>
        <source>OGG (no re-encoding) cuts the source&apos;s own packets: fades and encoding settings do not apply to it.</source>
        <translation>OGG (sans réencodage) découpe les paquets de la source elle-même : les fondus et les réglages d’encodage ne s’y appliquent pas.</translation>
    </message>
    <message>
        <source>Please enter an output folder. The previous folder is kept.</source>
        <translation>Veuillez indiquer un dossier de sortie. Le dossier précédent est conservé.</translation>
    </message>
    <message>
        <source>Please enter a whole number from 1 to 2147483647 for &quot;%1&quot;.</source>
        <translation>Veuillez saisir un nombre entier de 1 à 2147483647 pour &quot;%1&quot;.</translation>
    </message>
    <message>
        <source>Output Directory</source>
        <translation>Dossier de sortie</translation>
    </message>
    <message>
        <source>Compression level: </source>
        <translation>Niveau de compression : </translation>
    </message>
</context>
<context>
    <name>SilenceScan</name>
    <message>
        <source>Looking for the pauses...</source>
        <translation>Recherche des pauses...</translation>
    </message>
    <message>
        <source>Stop</source>
        <translation>Arrêt</translation>
    </message>
</context>
<context>
    <name>Skin</name>
    <message>
        <source>FILES</source>
        <translation>FICHIERS</translation>
    </message>
    <message>
        <source>FORMAT</source>
        <translation>FORMAT</translation>
    </message>
    <message>
        <source>TOTAL LENGTH</source>
        <translation>DURÉE TOTALE</translation>
    </message>
    <message>
        <source>File</source>
        <translation>Fichier</translation>
    </message>
    <message>
        <source>File menu: add files or a folder, remove a file, exit</source>
        <translation>Menu Fichier : ajouter des fichiers ou un dossier, retirer un fichier, quitter</translation>
    </message>
    <message>
        <source>Action</source>
        <translation>Action</translation>
    </message>
    <message>
        <source>Action menu: reorder, tags, split, join and stop</source>
        <translation>Menu Action : ordre, étiquettes, découper, joindre et arrêter</translation>
    </message>
    <message>
        <source>Settings</source>
        <translation>Réglages</translation>
    </message>
    <message>
        <source>Split mode, output folder, fades and Ogg Vorbis encoding</source>
        <translation>Mode de découpe, dossier de sortie, fondus et encodage Ogg Vorbis</translation>
    </message>
    <message>
        <source>Help</source>
        <translation>Aide</translation>
    </message>
    <message>
        <source>Help menu: contents, home page, about</source>
        <translation>Menu Aide : sommaire, page d’accueil, à propos</translation>
    </message>
    <message>
        <source>Guide</source>
        <translation>Guide</translation>
    </message>
    <message>
        <source>Open the help page</source>
        <translation>Ouvrir la page d’aide</translation>
    </message>
    <message>
        <source>The selected file</source>
        <translation>Le fichier choisi</translation>
    </message>
    <message>
        <source>Add</source>
        <translation>Ajouter</translation>
    </message>
    <message>
        <source>Add audio files to the list</source>
        <translation>Ajouter des fichiers audio à la liste</translation>
    </message>
    <message>
        <source>Up</source>
        <translation>Monter</translation>
    </message>
    <message>
        <source>Move the selected file up</source>
        <translation>Monter le fichier choisi</translation>
    </message>
    <message>
        <source>Down</source>
        <translation>Descendre</translation>
    </message>
    <message>
        <source>Move the selected file down</source>
        <translation>Descendre le fichier choisi</translation>
    </message>
    <message>
        <source>Remove</source>
        <translation>Retirer</translation>
    </message>
    <message>
        <source>Remove the selected file, or the selected piece when the piece list was clicked last</source>
        <translation>Retirer le fichier choisi, ou le morceau choisi si la liste des morceaux a été cliquée en dernier</translation>
    </message>
    <message>
        <source>Clear</source>
        <translation>Vider</translation>
    </message>
    <message>
        <source>Empty the list, or reset the pieces when the piece list was clicked last</source>
        <translation>Vider la liste, ou remettre à zéro les morceaux si la liste des morceaux a été cliquée en dernier</translation>
    </message>
    <message>
        <source>Options</source>
        <translation>Options</translation>
    </message>
    <message>
        <source>Settings: split mode, output folder, fades and encoding</source>
        <translation>Réglages : mode de découpe, dossier de sortie, fondus et encodage</translation>
    </message>
    <message>
        <source>Position: drag to seek or to choose a begin or end time</source>
        <translation>Position : faire glisser pour se déplacer ou pour choisir un début ou une fin</translation>
    </message>
    <message>
        <source>Time at the slider position</source>
        <translation>Temps à la position du curseur</translation>
    </message>
    <message>
        <source>Play</source>
        <translation>Lire</translation>
    </message>
    <message>
        <source>Play the selected file or piece</source>
        <translation>Lire le fichier ou le morceau choisi</translation>
    </message>
    <message>
        <source>Stop</source>
        <translation>Arrêt</translation>
    </message>
    <message>
        <source>Stop playing</source>
        <translation>Arrêter la lecture</translation>
    </message>
    <message>
        <source>Back</source>
        <translation>Reculer</translation>
    </message>
    <message>
        <source>Step back</source>
        <translation>Reculer d’un pas</translation>
    </message>
    <message>
        <source>Fwd</source>
        <translation>Avancer</translation>
    </message>
    <message>
        <source>Step forward</source>
        <translation>Avancer d’un pas</translation>
    </message>
    <message>
        <source>Begin</source>
        <translation>Début</translation>
    </message>
    <message>
        <source>Mark the slider position as the begin of the piece</source>
        <translation>Marquer la position du curseur comme début du morceau</translation>
    </message>
    <message>
        <source>End</source>
        <translation>Fin</translation>
    </message>
    <message>
        <source>Mark the slider position as the end of the piece</source>
        <translation>Marquer la position du curseur comme fin du morceau</translation>
    </message>
    <message>
        <source>OK</source>
        <translation>OK</translation>
    </message>
    <message>
        <source>Confirm the piece and start a new one</source>
        <translation>Valider le morceau et en commencer un nouveau</translation>
    </message>
    <message>
        <source>Split</source>
        <translation>Découper</translation>
    </message>
    <message>
        <source>Write every piece as its own Ogg Vorbis file, then open the output folder</source>
        <translation>Écrire chaque morceau dans son propre fichier Ogg Vorbis, puis ouvrir le dossier de sortie</translation>
    </message>
    <message>
        <source>Join</source>
        <translation>Joindre</translation>
    </message>
    <message>
        <source>Join all pieces of all files into one Ogg Vorbis file</source>
        <translation>Réunir tous les morceaux de tous les fichiers en un fichier Ogg Vorbis</translation>
    </message>
    <message>
        <source>Stop playing and stop the conversion</source>
        <translation>Arrêter la lecture et la conversion</translation>
    </message>
    <message>
        <source>Total length of the output</source>
        <translation>Durée totale de la sortie</translation>
    </message>
    <message>
        <source>Conversion progress</source>
        <translation>Avancement de la conversion</translation>
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
        <translation>Aucun fichier choisi</translation>
    </message>
</context>
<context>
    <name>SpanStatus</name>
    <message>
        <source>Playing</source>
        <translation>Lecture</translation>
    </message>
    <message>
        <source>Converting</source>
        <translation>En cours</translation>
    </message>
    <message>
        <source>Finish</source>
        <translation>Terminé</translation>
    </message>
    <message>
        <source>Uncertain</source>
        <translation>Incertain</translation>
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
        <translation>À faire</translation>
    </message>
</context>
<context>
    <name>TagEditDialog</name>
    <message>
        <source>ID3 Edit</source>
        <translation>Édition ID3</translation>
    </message>
    <message>
        <source>File Name</source>
        <translation>Nom du fichier</translation>
    </message>
    <message>
        <source>Title:</source>
        <translation>Titre :</translation>
    </message>
    <message>
        <source>Artist: </source>
        <translation>Artiste : </translation>
    </message>
    <message>
        <source>Album: </source>
        <translation>Album : </translation>
    </message>
    <message>
        <source>Year: </source>
        <translation>Année : </translation>
    </message>
    <message>
        <source>Genre:</source>
        <translation>Genre :</translation>
    </message>
    <message>
        <source>Comment: </source>
        <translation>Commentaire : </translation>
    </message>
    <message>
        <source>All</source>
        <translation>Tous</translation>
    </message>
    <message>
        <source>Reset</source>
        <translation>Rétablir</translation>
    </message>
    <message>
        <source>Ok</source>
        <translation>OK</translation>
    </message>
    <message>
        <source>Cancel</source>
        <translation>Annuler</translation>
    </message>
</context>
<context>
    <name>WaveformWindow</name>
    <message>
        <source>Each channel</source>
        <translation>Chaque canal</translation>
    </message>
    <message>
        <source>Mix</source>
        <translation>Mélange</translation>
    </message>
    <message>
        <source>snap to zero crossings</source>
        <translation>aimanter aux passages par zéro</translation>
    </message>
    <message>
        <source>Channels:</source>
        <translation>Canaux :</translation>
    </message>
    <message>
        <source>Waveform – </source>
        <translation>Forme d’onde – </translation>
    </message>
</context>
</TS>
