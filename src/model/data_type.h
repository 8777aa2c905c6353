// The kinds of data a project can hold. The numeric values are part of the
// program's behaviour (they select output columns and reader rules).
#ifndef QND_MODEL_DATA_TYPE_H
#define QND_MODEL_DATA_TYPE_H

enum TDataType { DNA = 0, RFLP = 1, MICROSAT = 2, STANDARD = 3, FREQUENCY = 4 };

#endif  // QND_MODEL_DATA_TYPE_H
