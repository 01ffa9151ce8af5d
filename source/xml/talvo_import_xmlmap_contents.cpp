// The built-in mapping contents, in the order they are added: the order decides the
// layout of the maps and so the order in which parameters are applied.
#include "talvo_import_xmlmap.h"

namespace talvo {

void XmlMapper::addBuiltInContents() {
  using host::HostValue;
  // Enumerations: a word of the scene, the host integer it stands for.
  EnumMap* enums = createEnumMap();
  {
    EnumValueMap* words = createEnumValueMap(enums, 101);
    addEnumValue(words, "SmoothKnot", 2);
    addEnumValue(words, "CubicKnot", 0);
    addEnumValue(words, "CubicBias", 1);
    addEnumValue(words, "Linear Knot", 3);
    addEnumValue(words, "Linear", 4);
    addEnumValue(words, "None", 5);
    addEnumValue(words, "ExponentUp", 6);
    addEnumValue(words, "ExponentDown", 7);
  }
  {
    EnumValueMap* words = createEnumValueMap(enums, 201);
    addEnumValue(words, "Omni", 0);
    addEnumValue(words, "Spot", 1);
    addEnumValue(words, "Area", 8);
    addEnumValue(words, "Infinite", 3);
    addEnumValue(words, "IES", 9);
    addEnumValue(words, "SquareSpot", 2);
    addEnumValue(words, "Parallel", 4);
    addEnumValue(words, "ParallelSpot", 5);
    addEnumValue(words, "SquareParallelSpot", 6);
  }
  {
    EnumValueMap* words = createEnumValueMap(enums, 202);
    addEnumValue(words, "None", 0);
    addEnumValue(words, "Visible", 1);
    addEnumValue(words, "Volumetric", 2);
    addEnumValue(words, "Inverse Volumetric", 3);
  }
  {
    EnumValueMap* words = createEnumValueMap(enums, 203);
    addEnumValue(words, "Disc", 0);
    addEnumValue(words, "Rectangle", 1);
    addEnumValue(words, "Sphere", 2);
    addEnumValue(words, "Cylinder", 3);
    addEnumValue(words, "Cube", 4);
    addEnumValue(words, "Hemisphere", 5);
    addEnumValue(words, "Line", 7);
    addEnumValue(words, "PCylinder", 8);
    addEnumValue(words, "ObjectSpline", 6);
  }
  {
    EnumValueMap* words = createEnumValueMap(enums, 204);
    addEnumValue(words, "None", 0);
    addEnumValue(words, "Soft", 1);
    addEnumValue(words, "Hard", 2);
    addEnumValue(words, "Area", 3);
  }
  {
    EnumValueMap* words = createEnumValueMap(enums, 205);
    addEnumValue(words, "None", 0);
    addEnumValue(words, "InverseSquare", 10);
    addEnumValue(words, "Linear", 8);
    addEnumValue(words, "Step", 5);
    addEnumValue(words, "InverseSquareClamped", 7);
  }
  {
    EnumValueMap* words = createEnumValueMap(enums, 206);
    addEnumValue(words, "lm", 0);
    addEnumValue(words, "cd", 1);
    addEnumValue(words, "lx", 2);
  }
  {
    EnumValueMap* words = createEnumValueMap(enums, 207);
    addEnumValue(words, "None", 0);
    addEnumValue(words, "Linear", 1);
    addEnumValue(words, "Inverse", 2);
    addEnumValue(words, "InverseSquare", 3);
    addEnumValue(words, "InverseCubic", 4);
    addEnumValue(words, "Step", 5);
  }
  {
    EnumValueMap* words = createEnumValueMap(enums, 208);
    addEnumValue(words, "None", 0);
    addEnumValue(words, "Illumination", 1);
    addEnumValue(words, "VisibleLight", 2);
    addEnumValue(words, "Both", 3);
  }
  {
    EnumValueMap* words = createEnumValueMap(enums, 209);
    addEnumValue(words, "Noise", 0);
    addEnumValue(words, "SoftTurbulence", 1);
    addEnumValue(words, "HardTurbulence", 2);
    addEnumValue(words, "WavyTurbulence", 3);
  }
  {
    EnumValueMap* words = createEnumValueMap(enums, 210);
    addEnumValue(words, "250", 0);
    addEnumValue(words, "500", 1);
    addEnumValue(words, "750", 2);
    addEnumValue(words, "1000", 3);
    addEnumValue(words, "1250", 4);
    addEnumValue(words, "1500", 5);
    addEnumValue(words, "1750", 6);
    addEnumValue(words, "2000", 7);
    addEnumValue(words, "Custom", 8);
  }
  {
    EnumValueMap* words = createEnumValueMap(enums, 211);
    addEnumValue(words, "Inactive", 0);
    addEnumValue(words, "Default", 2);
    addEnumValue(words, "CINEMAR4", 3);
    addEnumValue(words, "WideAngle", 4);
    addEnumValue(words, "ZOOM", 5);
    addEnumValue(words, "HI8", 6);
    addEnumValue(words, "Camcorder", 7);
    addEnumValue(words, "SearchLight", 8);
    addEnumValue(words, "Artifact", 9);
    addEnumValue(words, "Star1", 10);
    addEnumValue(words, "Star2", 11);
    addEnumValue(words, "Star3", 12);
    addEnumValue(words, "Purple", 13);
    addEnumValue(words, "FlashLight", 14);
    addEnumValue(words, "Sun1", 15);
    addEnumValue(words, "Sun2", 16);
    addEnumValue(words, "Grey", 17);
    addEnumValue(words, "Blue1", 18);
    addEnumValue(words, "Blue2", 19);
    addEnumValue(words, "Red", 20);
    addEnumValue(words, "YellowGreen1", 21);
    addEnumValue(words, "YellowGreen2", 22);
    addEnumValue(words, "Candle", 23);
    addEnumValue(words, "Custom", 1);
  }
  {
    EnumValueMap* words = createEnumValueMap(enums, 212);
    addEnumValue(words, "Inactive", 0);
    addEnumValue(words, "Default", 2);
    addEnumValue(words, "CINEMAR4", 3);
    addEnumValue(words, "WideAngle", 4);
    addEnumValue(words, "ZOOM", 5);
    addEnumValue(words, "HI8", 6);
    addEnumValue(words, "Camcorder", 7);
    addEnumValue(words, "SearchLight", 8);
    addEnumValue(words, "Artifact", 9);
    addEnumValue(words, "Star1", 10);
    addEnumValue(words, "Star2", 11);
    addEnumValue(words, "Star3", 12);
    addEnumValue(words, "Purple", 13);
    addEnumValue(words, "FlashLight", 14);
    addEnumValue(words, "Sun1", 15);
    addEnumValue(words, "Sun2", 16);
    addEnumValue(words, "Custom", 1);
  }

  // Light channels: parameter, host id, type code, default.
  LightChannelMap* channels = createLightChannelMap();
  {
    LightChannel* c = addLightChannel(channels, "GEN");
    addLightParam(c, "Type", 90002, 201, HostValue::string("Omni"));
    addLightParam(c, "Color", 90000, 12, HostValue::vector({1.0, 1.0, 1.0}));
    addLightParam(c, "Intensity", 90001, 5, HostValue::real(1.0));
    addLightParam(c, "ShadowType", 90003, 204, HostValue::string("None"));
    addLightParam(c, "Visibility", 90004, 202, HostValue::string("None"));
    addLightParam(c, "NoiIlumination", 90009, 1, HostValue::integer(0));
    addLightParam(c, "AmbientOnly", 90015, 1, HostValue::integer(0));
    addLightParam(c, "Diffuse", 100018, 1, HostValue::integer(1));
    addLightParam(c, "Specular", 100019, 1, HostValue::integer(1));
    addLightParam(c, "GIIllumination", 90034, 1, HostValue::integer(1));
  }
  {
    LightChannel* c = addLightChannel(channels, "DET");
    addLightParam(c, "UseInner", 90018, 1, HostValue::integer(1));
    addLightParam(c, "InnerAngle", 90010, 7, HostValue::real(0.0));
    addLightParam(c, "OuterAngle", 90011, 7, HostValue::real(0.5235987755982988));
    addLightParam(c, "AspectRatio", 90022, 3, HostValue::real(1.0));
    addLightParam(c, "Contrast", 90021, 5, HostValue::real(0.0));
    addLightParam(c, "ShadowCaster", 100020, 1, HostValue::integer(0));
    addLightParam(c, "AreaShape", 100015, 203, HostValue::string("Rectangle"));
    addLightParam(c, "AreaX", 100010, 4, HostValue::real(2.0));
    addLightParam(c, "AreaY", 100011, 4, HostValue::real(2.0));
    addLightParam(c, "AreaZ", 100012, 4, HostValue::real(2.0));
    addLightParam(c, "Samples", 100016, 2, HostValue::integer(40));
    addLightParam(c, "OnlyZ", 100007, 1, HostValue::integer(0));
    addLightParam(c, "ShowinRender", 100021, 1, HostValue::integer(0));
    addLightParam(c, "ShowinReflection", 100022, 1, HostValue::integer(0));
    addLightParam(c, "ShowInSpecular", 100032, 1, HostValue::integer(1));
    addLightParam(c, "VisibilityMultiplier", 100028, 5, HostValue::real(1.0));
    addLightParam(c, "Falloff", 90014, 205, HostValue::string("None"));
    addLightParam(c, "InfinitAngle", 100024, 7, HostValue::real(0.008726646259971648));
    addLightParam(c, "AddGrain", 100017, 1, HostValue::integer(0));
    addLightParam(c, "IdenticalNoise", 100029, 1, HostValue::integer(0));
    addLightParam(c, "FalloffAngle", 100023, 7, HostValue::real(3.141592653589793));
    addLightParam(c, "InnerRadius", 90024, 4, HostValue::real(0.0));
    addLightParam(c, "Radius", 90025, 4, HostValue::real(5.0));
    addLightParam(c, "UseGradient", 90019, 1, HostValue::integer(0));
    addLightParam(c, "Color", 100025, 1001, HostValue::string("LightGRRGB"));
    addLightParam(c, "NearClip", 90027, 1, HostValue::integer(0));
    addLightParam(c, "FarClip", 90028, 1, HostValue::integer(0));
    addLightParam(c, "NearFrom", 90029, 4, HostValue::real(0.0));
    addLightParam(c, "NearTo", 90030, 4, HostValue::real(0.1));
    addLightParam(c, "FarFrom", 90031, 4, HostValue::real(0.9));
    addLightParam(c, "FarTo", 90032, 4, HostValue::real(1.0));
  }
  {
    LightChannel* c = addLightChannel(channels, "VIS");
    addLightParam(c, "UseFalloff", 70001, 1, HostValue::integer(1));
    addLightParam(c, "Falloff", 70004, 5, HostValue::real(1.0));
    addLightParam(c, "UseEdgeFalloff", 70002, 1, HostValue::integer(1));
    addLightParam(c, "EdgeFalloff", 70005, 5, HostValue::real(0.5));
    addLightParam(c, "ColoredEdge", 70003, 1, HostValue::integer(0));
    addLightParam(c, "InnerDistance", 70009, 4, HostValue::real(0.0));
    addLightParam(c, "OuterDistance", 70027, 4, HostValue::real(5.0));
    addLightParam(c, "RelativeScale", 70028, 10, HostValue::vector({1.0, 1.0, 1.0}));
    addLightParam(c, "SampleDistance", 70020, 4, HostValue::real(0.25));
    addLightParam(c, "Brightness", 70019, 5, HostValue::real(1.0));
    addLightParam(c, "Dust", 70021, 5, HostValue::real(0.0));
    addLightParam(c, "Dithering", 70006, 5, HostValue::real(0.0));
    addLightParam(c, "UseGradient", 70000, 1, HostValue::integer(0));
    addLightParam(c, "Color", 100026, 1001, HostValue::string("LightGRRGB"));
    addLightParam(c, "Additive", 70022, 1, HostValue::integer(0));
    addLightParam(c, "AdaptBrightness", 70023, 1, HostValue::integer(1));
  }
  {
    LightChannel* c = addLightChannel(channels, "PHO");
    addLightParam(c, "UseIES", 90042, 1, HostValue::integer(0));
    addLightParam(c, "File", 90036, 13, HostValue::filename(host::Filename()));
    addLightParam(c, "UseIESSize", 90044, 1, HostValue::integer(0));
    addLightParam(c, "Photometric", 90046, 1, HostValue::integer(0));
    addLightParam(c, "Intensity", 90043, 3, HostValue::real(1000.0));
    addLightParam(c, "Unit", 90037, 206, HostValue::string("cd"));
  }
  {
    LightChannel* c = addLightChannel(channels, "CAU");
    addLightParam(c, "Surface", 91000, 1, HostValue::integer(0));
    addLightParam(c, "SurfaceEnergy", 91001, 5, HostValue::real(1.0));
    addLightParam(c, "SurfacePhotons", 91002, 2, HostValue::integer(10000));
    addLightParam(c, "Volume", 91003, 1, HostValue::integer(0));
    addLightParam(c, "VolumeEnergy", 91004, 5, HostValue::real(1.0));
    addLightParam(c, "VolumePhotons", 91005, 2, HostValue::integer(10000));
    addLightParam(c, "Falloff", 91006, 207, HostValue::string("None"));
    addLightParam(c, "InnerDistance", 91007, 4, HostValue::real(0.0));
    addLightParam(c, "OuterDistance", 91008, 4, HostValue::real(10.0));
  }
  {
    LightChannel* c = addLightChannel(channels, "NOI");
    addLightParam(c, "Kind", 90005, 208, HostValue::string("None"));
    addLightParam(c, "Type", 60000, 209, HostValue::string("SoftTurbulence"));
    addLightParam(c, "Octaves", 60001, 2, HostValue::integer(4));
    addLightParam(c, "Brightness", 60006, 5, HostValue::real(0.0));
    addLightParam(c, "Contrast", 60004, 5, HostValue::real(1.0));
    addLightParam(c, "VisibilityScale", 60009, 11, HostValue::vector({1.0, 1.0, 1.0}));
    addLightParam(c, "IlluminationScale", 60003, 3, HostValue::real(4.0));
  }
  {
    LightChannel* c = addLightChannel(channels, "SHA");
    addLightParam(c, "Density", 50001, 5, HostValue::real(1.0));
    addLightParam(c, "Color", 50013, 12, HostValue::vector({0.0, 0.0, 0.0}));
    addLightParam(c, "Transparency", 50008, 1, HostValue::integer(1));
    addLightParam(c, "ClippingInfluence", 50015, 1, HostValue::integer(0));
    addLightParam(c, "ShadowMapSize", 1002, 210, HostValue::string("250"));
    addLightParam(c, "ShadowMapX", 50005, 2, HostValue::integer(250));
    addLightParam(c, "ShadowMapY", 50006, 2, HostValue::integer(250));
    addLightParam(c, "SampleRadius", 50007, 2, HostValue::integer(3));
    addLightParam(c, "AbsoluteBias", 50009, 1, HostValue::integer(1));
    addLightParam(c, "RelBias", 50000, 5, HostValue::real(0.01));
    addLightParam(c, "AbsBias", 50016, 4, HostValue::real(0.02));
    addLightParam(c, "ParalellWidth", 50002, 4, HostValue::real(5.0));
    addLightParam(c, "OutlineShadow", 50010, 1, HostValue::integer(0));
    addLightParam(c, "ShadowCone", 50011, 1, HostValue::integer(0));
    addLightParam(c, "Angle", 50003, 7, HostValue::real(1.5707963267948966));
    addLightParam(c, "SoftCone", 50012, 1, HostValue::integer(1));
    addLightParam(c, "Accuracy", 100004, 5, HostValue::real(0.75));
    addLightParam(c, "MinsSmples", 100005, 2, HostValue::integer(8));
    addLightParam(c, "MaxsSmples", 100006, 2, HostValue::integer(100));
  }
  {
    LightChannel* c = addLightChannel(channels, "LEN");
    addLightParam(c, "Glow", 80014, 211, HostValue::string("Inactive"));
    addLightParam(c, "GlowBrightness", 80002, 5, HostValue::real(1.0));
    addLightParam(c, "GlowAspectRatio", 80000, 3, HostValue::real(1.0));
    addLightParam(c, "Reflexes", 80015, 212, HostValue::string("Inactive"));
    addLightParam(c, "ReflexBrightness", 80003, 5, HostValue::real(1.0));
    addLightParam(c, "ReflexAspectRatio", 80001, 3, HostValue::real(1.0));
    addLightParam(c, "Scale", 80004, 5, HostValue::real(1.0));
    addLightParam(c, "Rotation", 80005, 7, HostValue::real(0.0));
    addLightParam(c, "UseLightParams", 80007, 1, HostValue::integer(1));
    addLightParam(c, "FadeBehindObjects", 80008, 1, HostValue::integer(1));
    addLightParam(c, "FadeNearBorders", 80010, 1, HostValue::integer(0));
    addLightParam(c, "FadeApproachingObjs", 80009, 1, HostValue::integer(0));
    addLightParam(c, "GlowDistantScale", 80011, 1, HostValue::integer(0));
    addLightParam(c, "ReflexDistantScale", 80012, 1, HostValue::integer(0));
  }

  // Shader kinds of light gradients: name, id, parent id, parameters.
  const ShaderMaps shaders = createShaderMaps();
  {
    ShaderMap* s = addShaderMap(shaders, "GradientRGB", 1001, 1002);
    addShaderParam(s, "Interpol", 1000, 101, HostValue::string("SmoothKnot"));
    addShaderParam(s, "Knots", 0, 1003, HostValue());
  }
  addShaderMap(shaders, "GradientBase", 1002, 0);
  {
    ShaderMap* s = addShaderMap(shaders, "GKRGB", 1003, 0);
    addShaderParam(s, "Color", 0, 12, HostValue::vector({0.0, 0.0, 0.0}));
    addShaderParam(s, "Intensity", 0, 5, HostValue::real(1.0));
    addShaderParam(s, "Position", 0, 5, HostValue::real(0.5));
    addShaderParam(s, "Bias", 0, 5, HostValue::real(0.5));
  }

  // Default shader settings: a white gradient of two white knots.
  DefaultMap* defaults = createDefaultMap();
  {
    DefaultValues* d = addDefaultValues(defaults, "LColor1GKRGB", 1003);
    addDefaultParam(d, "Color", HostValue::vector({1.0, 1.0, 1.0}));
    addDefaultParam(d, "Intensity", HostValue::real(1.0));
    addDefaultParam(d, "Position", HostValue::real(0.0));
    addDefaultParam(d, "Bias", HostValue::real(0.5));
  }
  {
    DefaultValues* d = addDefaultValues(defaults, "LColor2GKRGB", 1003);
    addDefaultParam(d, "Color", HostValue::vector({1.0, 1.0, 1.0}));
    addDefaultParam(d, "Intensity", HostValue::real(1.0));
    addDefaultParam(d, "Position", HostValue::real(1.0));
    addDefaultParam(d, "Bias", HostValue::real(0.5));
  }
  {
    DefaultValues* d = addDefaultValues(defaults, "LightGRRGB", 1001);
    addDefaultParam(d, "Interpol", HostValue::string("SmoothKnot"));
    addDefaultParam(d, "Knots", HostValue::string("LColor1GKRGB,LColor2GKRGB"));
  }
}

}  // namespace talvo
