#pragma once
/// @class CNeuron
/// One sigmoid neuron, for applications that learn a decision from
/// measured features. The caller fills the inputs and adjusts the weights
/// directly; Go computes the output, Error the back-propagation delta.
///
/// Function(x) = 1 / (1 + e^(-x gain)). Init draws each weight uniformly from
/// [-1, 1] with the C library's generator as the original runtime has it
/// (rand() x 2 / 32767 - 1, the calling thread's sequence, seeded 1 unless
/// the application seeds it); the library never seeds it. Copies are deep.
#include <zep3/platform/Export.h>

class ZEP3_API CNeuron {
public:
    CNeuron() = default;
    CNeuron(const CNeuron& other);
    CNeuron& operator=(const CNeuron& other);
    virtual ~CNeuron();

    /// n weights drawn at random and n inputs set to 0 (n below 1: none).
    void Init(int n);
    /// net input = sum of inputs x weights; output = Function(net input).
    void Go();
    double Function(double x) const;
    /// The derivative of Function: gain e^(x gain) / (1 + e^(x gain))^2.
    double dFunction(double x) const;
    /// delta = e x dFunction(net input); returns e^2.
    double Error(double e);

    int m_nInputs = 0;
    double* m_pWeights = nullptr; ///< m_nInputs entries, owned
    double* m_pInputs = nullptr;  ///< m_nInputs entries, owned
    double m_dOutput = 0;
    double m_dDelta = 0;
    double m_dGain = 0.8;
    double m_dNetInput = 0;
};
