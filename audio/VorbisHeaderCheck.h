// Checks the Vorbis header packets of every link of an Ogg file before
// libvorbis decodes with them: it trusts values that it divides by or loops on.
#pragma once

#include <QByteArray>
#include <QString>

class QIODevice;

class VorbisHeaderCheck {
  public:
    // Reads `file` from its start (and leaves it at an undefined position).
    // Empty when every Vorbis stream in it starts with three sound header
    // packets; otherwise what is wrong. A page of an unknown stream that is
    // not a stream's first page means a link whose headers were lost.
    static QString fileProblem(QIODevice& file);
    // The same for one stream's identification, comment and setup packets.
    static QString headerProblem(const QByteArray& identification, const QByteArray& comment,
                                 const QByteArray& setup);
};
