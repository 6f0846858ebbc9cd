// MASSMODEL: a satellite's mass model: its definition file, its centre of mass
// and inertia tensor computed once and cached, shared between models read from
// one file, and its print in the log.
#include "simulation/massmodel.h"
#include <cstring>
#include <initializer_list>
#include <strings.h>
#include "foundation/iotxt.h"
#include "foundation/log.h"
#include "foundation/memory.h"
#include "foundation/pool.h"

void MASSMODEL_Init() { MASSOBJECT_Init(); }
void MASSMODEL_Done() { MASSOBJECT_Done(); }

// ---- reading -------------------------------------------------------------------

static void FreeObjects(MASSOBJECT* object)
{
    while (object) {
        MASSOBJECT* next = object->next;
        MASSOBJECT_Free(object);
        object = next;
    }
}

static void FreeText(char* text)
{
    if (text) POOL_Free(text);
}

static MASSMODEL* Fail(const char* format, char* name, char* fileName)
{
    LOG_Printf(format, static_cast<int>(IOTXT_GetLineNumber()));
    FreeText(name);
    FreeText(fileName);
    return nullptr;
}

// The elements of the open definition file; 0 when one is refused.
static uint32_t ReadObjects(MASSOBJECT** head)
{
    MASSOBJECT** tail = head;
    while (IOTXT_NextLine()) {
        if (!IOTXT_MatchWord("object")) {
            LOG_Printf("MASSMODEL: neznámé slovo v definici hmotného modelu na řádku %d.\n",
                       static_cast<int>(IOTXT_GetLineNumber()));
            return 0;
        }
        MASSOBJECT* object = MASSOBJECT_Load();
        if (!object) return 0;
        *tail = object;
        tail = &object->next;
    }
    return 1;
}

static MASSMODEL* CreateModel(char* name, char* fileName, MASSOBJECT* objects)
{
    MEMORY_SetTag("MASSMODEL-objekt");
    MASSMODEL* model = static_cast<MASSMODEL*>(POOL_Alloc(sizeof(MASSMODEL) + 1));
    if (!model) {
        LOG_Printf("MASSMODEL: nedostatek paměti pro hmotný model na řádku %d.\n",
                   static_cast<int>(IOTXT_GetLineNumber()));
        return nullptr;
    }
    memset(static_cast<void*>(model), 0, sizeof(MASSMODEL));
    model->name = name;
    model->fileName = fileName;
    model->objects = objects;
    return model;
}

MASSMODEL* MASSMODEL_Load()
{
    MEMORY_SetTag("MASSMODEL-name");
    char* name = IOTXT_ReadQuotedString();
    if (!name) return Fail("MASSMODEL: očekává se název hmotného modelu na řádku %d.\n", nullptr, nullptr);
    if (!IOTXT_MatchComma()) return Fail("MASSMODEL: za názvem modelu se očekává čárka na řádku %d.\n", name, nullptr);
    MEMORY_SetTag("MASSMODEL-filename");
    char* fileName = IOTXT_ReadQuotedString();
    if (!fileName)
        return Fail("MASSMODEL: očekává se název souboru s definicí hmotného modelu na řádku %d.\n", name, nullptr);
    if (!IOTXT_IsEndOfLine())
        return Fail("MASSMODEL: za názvem souboru s definicí hmotného modelu se očekává konec řádku na řádku %d.\n",
                    name, fileName);
    if (!IOTXT_OpenFile(fileName)) {
        LOG_Printf("MASSMODEL: souboru \"%s\" s definicí hmotného modelu nebyl nalezen na řádku %d.\n", fileName,
                   static_cast<int>(IOTXT_GetLineNumber()));
        FreeText(name);
        FreeText(fileName);
        return nullptr;
    }
    MASSOBJECT* objects = nullptr;
    MASSMODEL* model = nullptr;
    if (ReadObjects(&objects)) model = CreateModel(name, fileName, objects);
    IOTXT_CloseFile();
    if (!model) {
        FreeObjects(objects);
        FreeText(name);
        FreeText(fileName);
    }
    return model;
}

void MASSMODEL_Free(MASSMODEL* model)
{
    if (!model) return;
    FreeObjects(model->objects);
    FreeText(model->name);
    FreeText(model->fileName);
    POOL_Free(model);
}

// ---- centre of mass and inertia ----------------------------------------------------

double MASSMODEL_TotalMass(const MASSMODEL* model)
{
    double total = 0.0;
    for (const MASSOBJECT* o = model->objects; o; o = o->next) total += o->mass;
    return total;
}

void MASSMODEL_ComputeCog(MASSMODEL* model)
{
    if (model->cogComputed) return;
    double total = MASSMODEL_TotalMass(model);
    // Without mass the centre is undefined: it stays unknown instead of 0/0.
    if (MATH_ApproxEqual(total, 0.0)) return;
    VEC3 moment{0.0, 0.0, 0.0};
    for (MASSOBJECT* o = model->objects; o; o = o->next) {
        MASSOBJECT_ComputeCog(o);
        moment.x += o->mass * o->cog.x;
        moment.y += o->mass * o->cog.y;
        moment.z += o->mass * o->cog.z;
    }
    VEC3 cog{moment.x / total, moment.y / total, moment.z / total};
    MATH_SnapTo(&cog.x, 0.0);
    MATH_SnapTo(&cog.y, 0.0);
    MATH_SnapTo(&cog.z, 0.0);
    model->cog = cog;
    model->cogComputed = 1;
}

// Entries that differ only by rounding are made equal, so that symmetric bodies
// keep their symmetry exactly. A negated zero is written as 0 - x so that it
// stays +0 and prints as 0.
static void Equalise(double& i00, double& i01, double& i02, double& i11, double& i12, double& i22)
{
    if (MATH_ApproxEqual(i11, i00)) i11 = i00;
    if (MATH_ApproxEqual(i22, i00)) i22 = i00;
    if (MATH_ApproxEqual(i02, i01)) i02 = i01;
    if (MATH_ApproxEqual(i02, -i01)) i02 = 0.0 - i01;
    if (MATH_ApproxEqual(i12, i01)) i12 = i01;
    if (MATH_ApproxEqual(i12, -i01)) i12 = 0.0 - i01;
}

void MASSMODEL_ComputeInertia(MASSMODEL* model)
{
    if (model->inertiaComputed) return;
    MASSMODEL_ComputeCog(model);
    if (!model->cogComputed) return;
    MASSOBJECT_SetReferencePoint(model->cog.x, model->cog.y, model->cog.z);
    double i00 = 0.0, i01 = 0.0, i02 = 0.0, i11 = 0.0, i12 = 0.0, i22 = 0.0;
    for (MASSOBJECT* o = model->objects; o; o = o->next) {
        MASSOBJECT_ComputeInertia(o);
        i00 += o->inertia.m[0];
        i01 += o->inertia.m[1];
        i02 += o->inertia.m[2];
        i11 += o->inertia.m[4];
        i12 += o->inertia.m[5];
        i22 += o->inertia.m[8];
    }
    for (double* entry : {&i00, &i01, &i02, &i11, &i12, &i22}) MATH_SnapTo(entry, 0.0);
    Equalise(i00, i01, i02, i11, i12, i22);
    model->inertia = MAT33{{i00, i01, i02, i01, i11, i12, i02, i12, i22}};
    model->inertiaComputed = 1;
}

void MASSMODEL_GetCog(MASSMODEL* model, VEC3* cog)
{
    MASSMODEL_ComputeCog(model);
    *cog = model->cog;
}

void MASSMODEL_GetInertia(MASSMODEL* model, MAT33* inertia)
{
    MASSMODEL_ComputeInertia(model);
    *inertia = model->inertia;
}

void MASSMODEL_ComputeAndPrint(MASSMODEL* model)
{
    MASSMODEL_ComputeCog(model);
    MASSMODEL_ComputeInertia(model);
    MASSMODEL_Print(model);
}

void MASSMODEL_Print(const MASSMODEL* model)
{
    LOG_Printf("MASSMODEL: %s\n", model->name);
    if (model->cogComputed)
        LOG_Printf("MODEL-COG at %lf, %lf, %lf.\n", model->cog.x, model->cog.y, model->cog.z);
    else
        LOG_Printf("    COG not computed.\n");
    if (!model->inertiaComputed) {
        LOG_Printf("    Inertia tensor not computed.\n");
        return;
    }
    const double* m = model->inertia.m;
    LOG_Printf("MODEL-IT:   %20.16lf  %20.16lf  %20.16lf\n", m[0], m[1], m[2]);
    LOG_Printf("            %20.16lf  %20.16lf  %20.16lf\n", m[3], m[4], m[5]);
    LOG_Printf("            %20.16lf  %20.16lf  %20.16lf\n", m[6], m[7], m[8]);
}

uint32_t MASSMODEL_ShareResults(MASSMODEL* model, MASSMODEL* list)
{
    for (MASSMODEL* source = list; source; source = source->next) {
        if (source == model || strcasecmp(source->fileName, model->fileName) != 0) continue;
        if (source->cogComputed) {
            model->cog = source->cog;
            model->cogComputed = 1;
            LOG_Printf("Got COG\n");
        }
        if (source->inertiaComputed) {
            model->inertia = source->inertia;
            model->inertiaComputed = 1;
            LOG_Printf("Got IT\n");
        }
        return 1;
    }
    return 0;
}

uint32_t MASSMODEL_CheckUsable(const MASSMODEL* model, const char* satelliteName)
{
    double total = MASSMODEL_TotalMass(model);
    if (total > 0.0 && model->cogComputed) return 1;
    LOG_Printf("MASSMODEL: hmotný model \"%s\" satelitu \"%s\" má celkovou hmotnost %g kg, pro výpočet rotace "
               "je nutná kladná hmotnost.\n",
               model->name, satelliteName ? satelliteName : "", total);
    return 0;
}
