#include "contacts/ImportProblem.h"

EContactFileError::EContactFileError(TImportProblem problem, std::vector<TImportProblem> details)
    : Exception(QStringLiteral("contact file problem %1 on line %2").arg(int(problem.Kind)).arg(problem.Line)), Problem(std::move(problem)),
      Details(std::move(details))
{
}
