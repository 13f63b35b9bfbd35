// Input for the benchmark: a program that pulls in much of the C++ library, built statically for
// Windows, so that the benchmark has a statically linked Windows executable of about 2 MB.
#include <filesystem>
#include <fstream>
#include <iomanip>
#include <iostream>
#include <locale>
#include <map>
#include <unordered_map>
#include <set>
#include <random>
#include <regex>
#include <sstream>
#include <thread>
#include <mutex>
#include <future>
#include <codecvt>
#include <complex>
#include <valarray>
#include <chrono>
#include <any>
#include <variant>
#include <optional>
template <class C> void use_regex(const C* pattern, const std::basic_string<C>& text) {
  std::basic_regex<C> r(pattern, std::regex::ECMAScript | std::regex::icase);
  std::match_results<typename std::basic_string<C>::const_iterator> m;
  std::regex_search(text, m, r);
  std::basic_ostringstream<C> os;
  os.imbue(std::locale(""));
  os << std::regex_replace(text, r, pattern) << m.size() << std::put_money(12345.0L) << std::put_time(std::localtime(nullptr), pattern);
  std::basic_istringstream<C> is(os.str());
  long double money; is >> std::get_money(money); std::tm tm{}; is >> std::get_time(&tm, pattern);
  std::basic_ofstream<C> f("x"); f << os.str();
}
int main(int argc, char** argv) {
  use_regex<char>("a+b", argv[0]);
  use_regex<wchar_t>(L"a+b", L"aab");
  std::map<std::string, double> m;
  std::unordered_map<std::wstring, std::set<int>> um;
  std::mt19937_64 g;
  std::normal_distribution<double> nd; std::gamma_distribution<float> gd; std::poisson_distribution<int> pd;
  std::valarray<std::complex<double>> va(8); va = std::exp(va);
  for (auto& e : std::filesystem::recursive_directory_iterator(".")) m[e.path().string()] = nd(g) + gd(g) + pd(g) + std::filesystem::file_size(e.path());
  std::filesystem::copy("a", "b", std::filesystem::copy_options::recursive);
  auto f = std::async([] { return std::stod("1.5"); });
  std::wstring_convert<std::codecvt_utf8<wchar_t>> conv;
  std::any a = m; std::variant<int, std::string> v = "x"; std::optional<std::wstring> o = conv.from_bytes("x");
  std::wcout << *o << std::endl;
  std::cout << f.get() << va[0].real() << std::any_cast<std::map<std::string,double>>(a).size() << std::get<1>(v) << std::endl;
  std::ifstream in(argv[0]); std::cout << in.rdbuf();
}
