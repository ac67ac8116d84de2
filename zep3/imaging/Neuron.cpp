#include <zep3/imaging/Neuron.h>

#include <zep3/platform/detail/Random.h>

#include <algorithm>
#include <cmath>
#include <new>

namespace {

// rand() x (2 / 32767) - 1, with the constant as the original computed it.
const double kWeightStep = 6.103701895199438e-5;

// The logistic's slope at y = x gain: gain t / (1 + t)^2 with t = e^y. It is
// even in y, so t = e^-|y| gives the same value without overflowing.
double Slope(double y, double gain) {
    const double t = std::exp(-std::fabs(y));
    return gain * t / ((1 + t) * (1 + t));
}

// A copy of n doubles (null when n is 0 or memory runs out).
double* CopyOf(const double* from, int n) {
    double* to = n > 0 && from ? new (std::nothrow) double[size_t(n)] : nullptr;
    if (to) std::copy(from, from + n, to);
    return to;
}

// Gives the neuron both arrays of n entries, or none when either is missing.
void Replace(CNeuron& neuron, double* weights, double* inputs, int n) {
    if (!weights || !inputs) {
        delete[] weights;
        delete[] inputs;
        weights = inputs = nullptr;
        n = 0;
    }
    delete[] neuron.m_pWeights;
    delete[] neuron.m_pInputs;
    neuron.m_pWeights = weights;
    neuron.m_pInputs = inputs;
    neuron.m_nInputs = n;
}

} // namespace

CNeuron::CNeuron(const CNeuron& other) { *this = other; }

CNeuron& CNeuron::operator=(const CNeuron& other) {
    if (this == &other) return *this;
    Replace(*this, CopyOf(other.m_pWeights, other.m_nInputs), CopyOf(other.m_pInputs, other.m_nInputs),
            other.m_nInputs);
    m_dOutput = other.m_dOutput;
    m_dDelta = other.m_dDelta;
    m_dGain = other.m_dGain;
    m_dNetInput = other.m_dNetInput;
    return *this;
}

CNeuron::~CNeuron() {
    delete[] m_pWeights;
    delete[] m_pInputs;
}

void CNeuron::Init(int n) {
    const size_t size = n > 0 ? size_t(n) : 0;
    Replace(*this, size ? new (std::nothrow) double[size] : nullptr,
            size ? new (std::nothrow) double[size]() : nullptr, n);
    for (int i = 0; i < m_nInputs; ++i) m_pWeights[i] = zep3::detail::Rand() * kWeightStep - 1;
}

void CNeuron::Go() {
    double net = 0;
    for (int i = 0; i < m_nInputs; ++i) net += m_pInputs[i] * m_pWeights[i];
    m_dNetInput = net;
    m_dOutput = Function(net);
}

double CNeuron::Function(double x) const { return 1 / (1 + std::exp(-x * m_dGain)); }

double CNeuron::dFunction(double x) const { return Slope(x * m_dGain, m_dGain); }

double CNeuron::Error(double e) {
    m_dDelta = e * Slope(m_dNetInput * m_dGain, m_dGain);
    return e * e;
}
