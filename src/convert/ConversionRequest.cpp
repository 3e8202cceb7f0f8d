#include "convert/ConversionRequest.h"

#include "core/ConversionSettings.h"

ConversionRequest ConversionRequest::From(const ConversionSettings& settings)
{
    ConversionRequest request;
    const int count = settings.sourcePaths ? settings.sourcePaths->GetCount() : 0;
    for (int i = 0; i < count; ++i) {
        SourceFile source;
        source.path = settings.sourcePaths->GetText(i);
        source.name = settings.sourceNames ? settings.sourceNames->GetText(i) : std::string();
        request.sources.push_back(std::move(source));
    }
    request.outputFolder = settings.outputFolder;
    request.sameAsSource = settings.sameAsSource;
    request.overwriteExisting = settings.overwriteExisting;
    request.task = settings.task;
    request.outputFormat = settings.outputFormat;
    request.tvSystem = settings.tvSystem;
    request.programFolder = settings.programFolder;
    return request;
}
