#ifndef REFERENCESTAGE_H
#define REFERENCESTAGE_H

#include <QString>

// The scene's fragment stage as first written, plain and slow, kept to hold
// the show's faster stage to its picture. The show never has it.
namespace ReferenceStage {

// The compiled-in stage's resource name, registered by the first call.
QString resourceName();

} // namespace ReferenceStage

#endif // REFERENCESTAGE_H
