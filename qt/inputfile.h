#ifndef INPUTFILE_H
#define INPUTFILE_H

#include <QString>

class QFile;

// Opens a file to read only when it is a regular file, as the show and every
// tool do with their inputs: opening a FIFO would block, and a folder holds
// nothing to read. Returns why it could not, naming the file, or an empty
// string once the file is open.
QString openInputFile(QFile &file);

#endif // INPUTFILE_H
