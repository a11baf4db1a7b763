// The feed reader streams the document through libxml2's SAX interface: nothing
// is built as a tree and nothing here recurses, so the document's depth costs one
// frame per open element on a vector, up to MaxFeedDepth.
#include "server/feed.h"

#include "server/address.h"
#include "server/encoding.h"
#include "server/html.h"
#include "server/text.h"

#include <libxml/parser.h>
#include <libxml/parserInternals.h>

#include <map>
#include <memory>
#include <optional>
#include <string>

namespace content
{
    namespace
    {
        constexpr std::string_view XmlNamespace = "http://www.w3.org/XML/1998/namespace";
        constexpr std::string_view RdfNamespace = "http://www.w3.org/1999/02/22-rdf-syntax-ns#";
        constexpr std::string_view Rss090Namespace = "http://my.netscape.com/rdf/simple/0.9/";
        constexpr std::string_view Atom03Namespace = "http://purl.org/atom/ns#";
        // Text kept of one field: a title or a link is far shorter.
        constexpr std::size_t MaxFieldBytes = 64 * 1024;

        enum class Kind
        {
            Unknown,
            Rss, // <rss><channel><item>
            Rdf, // <rdf:RDF><channel/><item>: RSS 0.90 and 1.0
            Atom,
        };

        enum class Field
        {
            None,
            Title,
            Link,
            Guid,
            AtomLink,
        };

        std::string_view View(const xmlChar* text)
        {
            return text != nullptr ? std::string_view(reinterpret_cast<const char*>(text)) : std::string_view();
        }

        // The attributes of a SAX2 start tag: five pointers each (local name,
        // prefix, namespace, value start, value end).
        struct Attributes
        {
            const xmlChar** at;
            int count;

            std::optional<std::string> Get(std::string_view local, std::string_view ns = {}) const
            {
                for (int i = 0; i < count; ++i)
                {
                    const xmlChar** a = at + 5 * i;
                    if (View(a[0]) == local && View(a[2]) == ns)
                        // Without entity substitution libxml2 hands "&" on as "&#38;"
                        // and other entities by name.
                        return DecodeEntities(
                            std::string_view(reinterpret_cast<const char*>(a[3]), static_cast<std::size_t>(a[4] - a[3])));
                }
                return std::nullopt;
            }
        };

        struct Item
        {
            std::string ns;
            std::size_t depth = 0;
            bool hasTitle = false;
            std::string title;
            std::string titleType;
            std::string titleMode; // Atom 0.3: "xml", "escaped" or "base64"
            std::string link;
            std::string guid;
            std::string about; // RDF: the item's address
            std::string alternate;
            std::string other;
        };

        struct Frame
        {
            std::string local;
            std::string base; // the xml:base in force
        };

        // An HTML entity as libxml2 takes it back from getEntity: in text as
        // characters, in an attribute value by name (decoded with the value).
        struct Entity
        {
            std::string name;
            std::string value;
            xmlEntity text{};
            xmlEntity attribute{};
        };

        class Reader
        {
          public:
            Reader(FeedResult& result, std::string address) : result_(result), address_(std::move(address)) {}

            void Parse(const std::string& utf8);

          private:
            static Reader& Of(void* context) { return *static_cast<Reader*>(context); }

            static void StartElement(void* context, const xmlChar* local, const xmlChar*, const xmlChar* ns, int, const xmlChar**,
                                     int attributeCount, int, const xmlChar** attributes)
            {
                Of(context).Start(View(local), View(ns), Attributes{ attributes, attributeCount });
            }
            static void EndElement(void* context, const xmlChar*, const xmlChar*, const xmlChar*) { Of(context).End(); }
            static void Characters(void* context, const xmlChar* text, int size)
            {
                Of(context).Text(std::string_view(reinterpret_cast<const char*>(text), static_cast<std::size_t>(size)));
            }
            static xmlEntityPtr GetEntity(void* context, const xmlChar* name) { return Of(context).HtmlNamed(View(name)); }
            static void EntityDeclaration(void* context, const xmlChar*, int, const xmlChar*, const xmlChar*, xmlChar*)
            {
                Of(context).Refuse("the document declares entities; entity expansion stays off");
            }
            static void UnparsedEntityDeclaration(void* context, const xmlChar*, const xmlChar*, const xmlChar*, const xmlChar*)
            {
                Of(context).Refuse("the document declares entities; entity expansion stays off");
            }
            static void Error(void* context, xmlErrorPtr error) { Of(context).Fault(error); }

            void Start(std::string_view local, std::string_view ns, const Attributes& attributes);
            void End();
            void Text(std::string_view text);
            xmlEntityPtr HtmlNamed(std::string_view name);
            void Refuse(std::string why);
            void Fault(xmlErrorPtr error);
            void Root(std::string_view local, std::string_view ns, const Attributes& attributes);
            void FieldDone();
            void ItemDone();
            void Stop();

            FeedResult& result_;
            std::string address_;
            xmlParserCtxtPtr parser_ = nullptr;
            Kind kind_ = Kind::Unknown;
            bool sawChannel_ = false;
            std::string refusal_;
            std::string fault_;
            std::vector<Frame> frames_;
            std::optional<Item> item_;
            Field field_ = Field::None;
            std::size_t fieldDepth_ = 0;
            std::string fieldBase_;
            std::string fieldRel_;
            std::string text_;
            std::map<std::string, std::unique_ptr<Entity>, std::less<>> entities_;
        };

        void Reader::Parse(const std::string& utf8)
        {
            xmlSAXHandler sax{};
            sax.initialized = XML_SAX2_MAGIC;
            sax.startElementNs = StartElement;
            sax.endElementNs = EndElement;
            sax.characters = Characters;
            sax.getEntity = GetEntity;
            sax.entityDecl = EntityDeclaration;
            sax.unparsedEntityDecl = UnparsedEntityDeclaration;
            sax.serror = Error;
            parser_ = xmlCreatePushParserCtxt(&sax, this, nullptr, 0, nullptr);
            if (parser_ == nullptr)
            {
                Refuse("out of memory");
                return;
            }
            // The bytes are UTF-8 already; nothing is fetched, no DTD is loaded and
            // no entity is substituted.
            xmlCtxtUseOptions(parser_, XML_PARSE_NONET | XML_PARSE_IGNORE_ENC | XML_PARSE_NOERROR | XML_PARSE_NOWARNING);
            xmlSwitchEncoding(parser_, XML_CHAR_ENCODING_UTF8);
            std::size_t at = 0;
            // Chunks of at most 1 MiB keep the length within an int for any size.
            do
            {
                const std::size_t size = std::min<std::size_t>(utf8.size() - at, 1 << 20);
                const bool last = at + size == utf8.size();
                xmlParseChunk(parser_, utf8.data() + at, static_cast<int>(size), last ? 1 : 0);
                at += size;
            } while (at < utf8.size() && fault_.empty());
            // A DOCTYPE makes the parser start a document of its own even without a tree.
            if (parser_->myDoc != nullptr)
                xmlFreeDoc(parser_->myDoc);
            xmlFreeParserCtxt(parser_);
            parser_ = nullptr;

            if (!refusal_.empty())
            {
                result_.error = refusal_;
                result_.headlines.clear();
            }
            else if (kind_ == Kind::Unknown)
                result_.error = "not well-formed XML: " + (fault_.empty() ? std::string("no root element") : fault_);
            else if (kind_ == Kind::Rss && !sawChannel_ && fault_.empty())
                result_.error = "an RSS document without a channel";
            else if (!fault_.empty() && result_.headlines.empty())
                result_.error = "not well-formed XML: " + fault_;
            else
            {
                result_.ok = true;
                if (!fault_.empty())
                    result_.warning = "not well-formed XML: " + fault_ + "; kept the " +
                                      std::to_string(result_.headlines.size()) +
                                      (result_.headlines.size() == 1 ? " item" : " items") + " before it";
            }
        }

        // Once stopped the parser says nothing more: no callback, no error.
        void Reader::Stop()
        {
            xmlStopParser(parser_);
        }

        void Reader::Refuse(std::string why)
        {
            if (refusal_.empty())
                refusal_ = std::move(why);
            Stop();
        }

        void Reader::Fault(xmlErrorPtr error)
        {
            // Errors below fatal (an undeclared namespace prefix, say) do not stop
            // the parse and lose nothing.
            if (!fault_.empty() || error == nullptr || error->level < XML_ERR_FATAL)
                return;
            std::string message = error->message != nullptr ? OneLine(error->message) : std::string("error");
            fault_ = "line " + std::to_string(error->line) + ": " + message;
        }

        void Reader::Root(std::string_view local, std::string_view ns, const Attributes& attributes)
        {
            const std::string version = attributes.Get("version").value_or("");
            // A version shown as given when it looks like one.
            const bool plain =
                !version.empty() && version.size() <= 8 && version.find_first_not_of("0123456789.") == std::string::npos;
            if (local == "rss")
            {
                kind_ = Kind::Rss;
                result_.format = plain ? "RSS " + version : "RSS";
            }
            else if (local == "RDF" && ns == RdfNamespace)
            {
                kind_ = Kind::Rdf;
                result_.format = "RSS 1.0";
            }
            else if (local == "feed")
            {
                kind_ = Kind::Atom;
                result_.format = ns == Atom03Namespace || version == "0.3" ? "Atom 0.3" : "Atom 1.0";
            }
            else
                Refuse("neither RSS nor Atom: the root element is <" + OneLine(RepairUtf8(local.substr(0, 64))) + ">");
        }

        void Reader::Start(std::string_view local, std::string_view ns, const Attributes& attributes)
        {
            if (frames_.size() >= MaxFeedDepth)
            {
                Refuse("elements nested deeper than " + std::to_string(MaxFeedDepth));
                return;
            }
            std::string base = frames_.empty() ? address_ : frames_.back().base;
            if (const std::optional<std::string> xmlBase = attributes.Get("base", XmlNamespace))
                base = ResolveReference(base, OneLine(*xmlBase));
            const bool channelChild = frames_.size() == 2 && frames_.back().local == "channel";
            frames_.push_back({ std::string(local), std::move(base) });
            const std::size_t depth = frames_.size();
            if (depth == 1)
            {
                Root(local, ns, attributes);
                return;
            }
            if (field_ != Field::None)
                return; // markup inside a title or link: only its text counts
            if (!item_)
            {
                if (kind_ != Kind::Atom && depth == 2 && local == "channel")
                {
                    sawChannel_ = true;
                    if (ns == Rss090Namespace)
                        result_.format = "RSS 0.90";
                }
                const bool item = kind_ == Kind::Atom ? local == "entry" && depth == 2
                                                      : local == "item" && (channelChild || (kind_ == Kind::Rdf && depth == 2));
                if (!item)
                    return;
                item_.emplace();
                item_->ns = ns;
                item_->depth = depth;
                if (kind_ == Kind::Rdf)
                    item_->about = WebLink(frames_.back().base, attributes.Get("about", RdfNamespace).value_or(""));
                return;
            }
            // Only the item's own children in its own namespace: not <media:title>.
            if (depth != item_->depth + 1 || ns != item_->ns)
                return;
            const std::string& here = frames_.back().base;
            if (local == "title" && !item_->hasTitle)
            {
                field_ = Field::Title;
                item_->titleType = LowerAscii(attributes.Get("type").value_or(""));
                item_->titleMode = LowerAscii(attributes.Get("mode").value_or(""));
            }
            else if (local == "link" && kind_ == Kind::Atom)
            {
                fieldRel_ = attributes.Get("rel").value_or("");
                if (const std::optional<std::string> href = attributes.Get("href"))
                {
                    text_ = *href;
                    fieldBase_ = here;
                    field_ = Field::AtomLink;
                    FieldDone();
                    return;
                }
                field_ = Field::AtomLink; // the address as the element's text
            }
            else if (local == "link" && item_->link.empty())
                field_ = Field::Link;
            else if (local == "guid" && kind_ == Kind::Rss && item_->guid.empty() &&
                     attributes.Get("isPermaLink").value_or("") != "false")
                field_ = Field::Guid;
            else
                return;
            fieldDepth_ = depth;
            fieldBase_ = here;
        }

        void Reader::Text(std::string_view text)
        {
            if (field_ != Field::None)
                text_.append(text.substr(0, MaxFieldBytes - std::min(MaxFieldBytes, text_.size())));
        }

        void Reader::End()
        {
            if (frames_.empty())
                return;
            const std::size_t depth = frames_.size();
            if (field_ != Field::None && depth == fieldDepth_)
                FieldDone();
            if (item_ && depth == item_->depth)
                ItemDone();
            frames_.pop_back();
        }

        void Reader::FieldDone()
        {
            Item& item = *item_;
            switch (field_)
            {
            case Field::Title:
                item.hasTitle = true;
                item.title = std::move(text_);
                break;
            case Field::Link: item.link = WebLink(fieldBase_, text_); break;
            case Field::Guid: item.guid = WebLink(fieldBase_, text_); break;
            case Field::AtomLink:
            {
                // The alternate link (a link without rel is one), else the first
                // other one that is not the entry's own document.
                const std::string link = WebLink(fieldBase_, text_);
                if ((fieldRel_.empty() || fieldRel_ == "alternate") && item.alternate.empty())
                    item.alternate = link;
                else if (fieldRel_ != "self" && fieldRel_ != "edit" && item.other.empty())
                    item.other = link;
                break;
            }
            case Field::None: break;
            }
            field_ = Field::None;
            text_.clear();
        }

        // Plain text from a title as its format writes it: Atom says by its type
        // (and in 0.3 its mode); RSS titles are HTML by habit.
        std::string TitleText(Kind kind, const Item& item)
        {
            if (kind != Kind::Atom)
                return HtmlToText(item.title);
            const std::string text = item.titleMode == "base64" ? DecodeBase64(item.title) : item.title;
            const std::string& type = item.titleType;
            const bool xhtml = type == "xhtml" || type == "application/xhtml+xml";
            if (type == "html" || type == "text/html" || (xhtml && item.titleMode == "escaped"))
                return HtmlToText(text);
            return text;
        }

        // One line of well-formed text, shown as a reader shows it: no-break and
        // line-separator spaces are spaces too.
        std::string CleanTitle(const std::string& text)
        {
            const std::string folded = FoldC1Controls(RepairUtf8(text));
            std::string spaced;
            spaced.reserve(folded.size());
            for (std::size_t i = 0; i < folded.size(); ++i)
            {
                const std::string_view rest = std::string_view(folded).substr(i);
                if (rest.starts_with("\xC2\xA0"))
                    ++i;
                else if (rest.starts_with("\xE2\x80\xA8") || rest.starts_with("\xE2\x80\xA9"))
                    i += 2;
                else
                {
                    spaced += folded[i];
                    continue;
                }
                spaced += ' ';
            }
            return CutUtf8(OneLine(spaced), MaxTitleBytes);
        }

        void Reader::ItemDone()
        {
            const Item item = std::move(*item_);
            item_.reset();
            std::string title = CleanTitle(TitleText(kind_, item));
            if (title.empty())
                return;
            std::string link;
            if (kind_ == Kind::Atom)
                link = !item.alternate.empty() ? item.alternate : item.other;
            else
                link = !item.link.empty() ? item.link : !item.guid.empty() ? item.guid : item.about;
            result_.headlines.push_back({ std::move(title), std::move(link) });
            if (result_.headlines.size() >= MaxHeadlines)
                Stop(); // enough: the rest is not read
        }

        xmlEntityPtr Reader::HtmlNamed(std::string_view name)
        {
            auto found = entities_.find(name);
            if (found == entities_.end())
            {
                std::string value = HtmlEntity(name);
                if (value.empty())
                    return nullptr;
                auto entity = std::make_unique<Entity>();
                entity->name = name;
                entity->value = std::move(value);
                for (xmlEntity* e : { &entity->text, &entity->attribute })
                {
                    e->type = XML_ENTITY_DECL;
                    e->name = reinterpret_cast<const xmlChar*>(entity->name.c_str());
                    e->content = reinterpret_cast<xmlChar*>(entity->value.data());
                    e->length = static_cast<int>(entity->value.size());
                }
                // Predefined entities go out as characters; in an attribute
                // libxml2 would keep only their first byte, so there the name stays.
                entity->text.etype = XML_INTERNAL_PREDEFINED_ENTITY;
                entity->attribute.etype = XML_INTERNAL_GENERAL_ENTITY;
                found = entities_.emplace(std::string(name), std::move(entity)).first;
            }
            Entity& entity = *found->second;
            return parser_->instate == XML_PARSER_ATTRIBUTE_VALUE ? &entity.attribute : &entity.text;
        }

        void Silent(void*, const char*, ...) {}

        void InitLibxml()
        {
            static const bool ready = []
            {
                xmlInitParser();
                // Errors reach the reader through its context; nothing goes to stderr.
                xmlSetGenericErrorFunc(nullptr, Silent);
                return true;
            }();
            (void)ready;
        }
    } // namespace

    FeedResult ParseFeed(std::string_view bytes, const FeedSource& source)
    {
        InitLibxml();
        FeedResult result;
        DecodedText text = DecodeDocument(bytes, source.charset);
        if (!text.ok)
        {
            result.error = text.error;
            return result;
        }
        result.encoding = text.encoding;
        Reader(result, source.address).Parse(text.utf8);
        return result;
    }
} // namespace content
