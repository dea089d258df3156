// MulDiv: a scaling by a fraction without overflow in between.
#pragma once

// Number × Numerator ÷ Denominator computed in 64 bits and rounded half away from
// zero; -1 when Denominator is 0 or the result does not fit in 32 bits.
int MulDiv(int number, int numerator, int denominator);
